// The settings file under faults: a full disk (a file size limit), missing
// permissions, a vanished folder and a writer killed at random moments. In
// every case the file holds either its old bytes or its new ones, a failed
// write says so, and nothing is left behind that could pass for the file.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/native_platform.h"
#include "platform/posix_atomic_file.h"
#include "platform/posix_file_rights.h"
#include "platform/profile_file.h"
#include "platform/standard_descriptors.h"
#include "tests/platform/posix_temp_folder.h"
#include "tests/tools/child_process.h"
#include "tests/tools/launch_writes.h"

namespace zephran::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using zephran::testing::DescribeStatus;
using zephran::testing::RunInChild;
using zephran::testing::RunUnprivileged;

using TestPlatform = platform::NativePlatform;

// Holds all eight keys a launch writes, so every launch only replaces values.
constexpr std::string_view kSettings =
    "[Display]\r\nScreenWidth=400\r\nScreenHeight=300\r\nFullScreen=0\r\nVideoWidth=512\r\n"
    "VideoHeight=384\r\nCinemaScope=1\r\nBitsPerPixel=16\r\nGamma=4\r\n\r\n"
    "[Audio]\r\nMusicVolume=80\r\nSubtitles=1\r\n";

// How an interrupted write's temporary file is named: hidden, after the file,
// the writer's process id and a counter, ending in ".tmp".
bool IsTemporaryName(const std::string& name) {
  static const std::regex kTemporary(R"(\.zephran\.ini\.[0-9]+-[0-9]+\.tmp)");
  return std::regex_match(name, kTemporary);
}

class PosixFaultsTest : public test_support::TempFolderTest {
 protected:
  static std::string Read(const fs::path& path) { return ReadFile(path); }

  // Names and bytes of everything under `folder`.
  // Also their inode, modes and size on disk: a file replaced, rewritten or
  // made dense shows up here.
  static std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
      const std::string name = entry.path().lexically_relative(folder).string();
      struct stat status {};
      ::lstat(entry.path().c_str(), &status);
      std::error_code error;
      files[name] = std::to_string(status.st_ino) + " " + std::to_string(status.st_mode) + " " +
                    std::to_string(status.st_blocks) + " " +
                    (entry.is_regular_file(error) ? Read(entry.path()) : "<not a file>");
    }
    return files;
  }

  // A launch's save in a child process that `prepare` sets up first (an
  // identity, a limit, a mount): "saved", the reason the player is shown, or
  // "not prepared" when `prepare` failed.
  std::string SaveInChild(const fs::path& file, const std::vector<ProfileValue>& values,
                          const std::function<bool()>& prepare) {
    int said_pipe[2] = {-1, -1};
    EXPECT_EQ(::pipe(said_pipe), 0);
    const int status = RunInChild([&] {
      if (!prepare()) {
        return 125;
      }
      const SaveResult result = platform_.WriteProfileStrings(values, file.string());
      const std::string said = result.saved ? "saved" : result.reason;
      return ::write(said_pipe[1], said.data(), said.size()) >= 0 ? 0 : 1;
    });
    ::close(said_pipe[1]);
    std::string said(512, '\0');
    said.resize(std::max<ssize_t>(0, ::read(said_pipe[0], said.data(), said.size())));
    ::close(said_pipe[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "not prepared";
  }

  static bool Become(uid_t uid, gid_t gid) {
    return ::setgroups(1, &gid) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
  }

  TestPlatform platform_;
};

TEST_F(PosixFaultsTest, AFileSizeLimitLeavesTheOldOrTheNewBytesAndIsReported) {
  const std::string old_bytes(kSettings);
  const std::string value(300, '7');
  const std::string new_bytes = *SetProfileValue(old_bytes, "Display", "ScreenWidth", value);
  const rlim_t old_size = old_bytes.size();
  const rlim_t new_size = new_bytes.size();

  for (const rlim_t limit : {rlim_t{0}, rlim_t{1}, old_size - 1, old_size, old_size + 1,
                             new_size - 1, new_size, new_size + 4096}) {
    const fs::path file = Write("zephran.ini", old_bytes);
    const int status = RunInChild([&] {
      // As a freshly started launcher has it: the signal's default action
      // ends the process.
      ::signal(SIGXFSZ, SIG_DFL);
      const rlimit size_limit{limit, limit};
      if (::setrlimit(RLIMIT_FSIZE, &size_limit) != 0) {
        return 3;
      }
      return platform_.WriteProfileString("Display", "ScreenWidth", value, file.string()) ? 1 : 0;
    });
    const bool fits = limit >= new_size;
    ASSERT_TRUE(WIFEXITED(status)) << "limit " << limit << ": " << DescribeStatus(status);
    EXPECT_EQ(WEXITSTATUS(status), fits ? 1 : 0) << "limit " << limit;
    EXPECT_EQ(Read(file), fits ? new_bytes : old_bytes) << "limit " << limit;
    EXPECT_EQ(Snapshot(root_).size(), 1u) << "limit " << limit << ": a temporary file was left";
  }
}

TEST_F(PosixFaultsTest, StartedProgramsGetTheFileSizeSignalBack) {
  if (!fs::exists("/proc/self/status")) {
    GTEST_SKIP() << "needs /proc to see a process's ignored signals";
  }
  struct sigaction before {};
  ::sigaction(SIGXFSZ, nullptr, &before);
  ASSERT_TRUE(platform_.WriteProfileString("Display", "Gamma", "4", (root_ / "a.ini").string()));
  struct sigaction during {};
  ::sigaction(SIGXFSZ, nullptr, &during);
  EXPECT_EQ(during.sa_handler, SIG_IGN) << "a write leaves the signal ignored in the launcher";

  const fs::path report = root_ / "ignored.txt";
  const fs::path program =
      Write("report",
            "#!/bin/sh\ngrep '^SigIgn:' /proc/self/status > '" + report.string() +
                ".part' && mv '" + report.string() + ".part' '" + report.string() + "'\n",
            0755);
  ASSERT_TRUE(platform_.StartProgram({program.string(), {}}, WindowStyle::Normal).started);
  for (int wait = 0; wait < 500 && !fs::exists(report); ++wait) {
    std::this_thread::sleep_for(10ms);
  }
  ::sigaction(SIGXFSZ, &before, nullptr);

  const std::string line = Read(report);
  ASSERT_TRUE(line.starts_with("SigIgn:")) << "the started program did not report: " << line;
  const unsigned long long ignored = std::stoull(line.substr(7), nullptr, 16);
  EXPECT_EQ(ignored & (1ULL << (SIGXFSZ - 1)), 0u) << "the game would inherit the ignored signal";
}

TEST_F(PosixFaultsTest, RefusedWritesReportAndLeaveEverythingAsItWas) {
  Write("read-only/zephran.ini", kSettings, 0444);
  Write("vanished/zephran.ini", kSettings);
  fs::remove_all(root_ / "vanished");
  fs::create_directories(root_ / "folder/zephran.ini");
  fs::create_directories(root_ / "loop");
  fs::create_symlink("zephran.ini", root_ / "loop/zephran.ini");
  const std::map<std::string, std::string> before = Snapshot(root_);

  for (const char* file : {"read-only/ZEPHRAN.INI", "vanished/zephran.ini", "folder/zephran.ini",
                           "loop/zephran.ini"}) {
    EXPECT_FALSE(
        platform_.WriteProfileString("Display", "ScreenWidth", "640", (root_ / file).string()))
        << file;
  }
  EXPECT_EQ(Snapshot(root_), before);
}

TEST_F(PosixFaultsTest, AReadOnlyFolderRefusesWithoutRootsPowers) {
  const fs::path folder = root_ / "game";
  const fs::path file = Write("game/zephran.ini", kSettings);
  if (::geteuid() == 0) {
    const std::optional<zephran::testing::Identity> user = zephran::testing::UnprivilegedUser();
    if (!user) {
      GTEST_SKIP() << "running as root and there is no unprivileged user to run as";
    }
    ASSERT_EQ(::chown(folder.c_str(), user->uid, user->gid), 0);
    ASSERT_EQ(::chown(file.c_str(), user->uid, user->gid), 0);
  }
  // The file itself stays writable: it is the temporary file beside it that
  // cannot be made, and without it there is no safe way to write.
  fs::permissions(folder, fs::perms(0555));
  const std::map<std::string, std::string> before = Snapshot(root_);

  const auto write = [&] {
    return platform_.WriteProfileString("Display", "ScreenWidth", "640", file.string()) ? 1 : 0;
  };
  const std::optional<int> written = RunUnprivileged(write);
  if (!written) {
    GTEST_SKIP() << "could not run as an unprivileged user";
  }
  EXPECT_EQ(*written, 0);
  EXPECT_EQ(Snapshot(root_), before);

  // The same user may write once the folder is writable: it was the folder.
  fs::permissions(folder, fs::perms(0755));
  EXPECT_EQ(RunUnprivileged(write), 1);
}

TEST_F(PosixFaultsTest, LeftoverTemporaryFilesAreNeverTakenForTheSettingsAndGoWhenTheirWriterIs) {
  // Left by a writer that is gone, by one that still runs (us), and a moment
  // ago by one that is not running here.
  const pid_t gone = ::fork();
  if (gone == 0) {
    ::_exit(0);
  }
  ::waitpid(gone, nullptr, 0);
  const std::string stale = ".zephran.ini." + std::to_string(gone) + "-1.tmp";
  const std::string live = ".zephran.ini." + std::to_string(::getpid()) + "-999999.tmp";
  const std::string recent = ".zephran.ini." + std::to_string(gone) + "-2.tmp";
  for (const std::string& leftover : {stale, live, recent}) {
    Write(leftover, "[Display]\r\nScreenWidth=512\r\n");
    if (leftover != recent) {
      fs::last_write_time(root_ / leftover, fs::file_time_type::clock::now() - 2min);
    }
  }
  const std::string file = (root_ / "zephran.ini").string();

  EXPECT_EQ(platform_.FirstDirEntry(file, kAttrAny), "");
  EXPECT_EQ(platform_.FirstDirEntry((root_ / "*.ini").string(), kAttrAny), "");
  EXPECT_EQ(platform_.ReadProfileString("Display", "ScreenWidth", "none", 255, file), "none");

  ASSERT_TRUE(platform_.WriteProfileString("Display", "ScreenWidth", "640", file));
  EXPECT_EQ(Read(file), "[Display]\r\nScreenWidth=640\r\n");
  EXPECT_FALSE(fs::exists(root_ / stale));
  EXPECT_TRUE(fs::exists(root_ / live));
  EXPECT_TRUE(fs::exists(root_ / recent)) << "its writer may run on another machine";
}

// The eight values of a launch, as the window hands them over.
std::vector<ProfileValue> Values(const zephran::testing::LaunchWrites& writes) {
  std::vector<ProfileValue> values;
  for (const zephran::testing::ProfileWrite& write : writes) {
    values.push_back(
        {std::string(write.section), std::string(write.key), std::string(write.value)});
  }
  return values;
}

std::string Applied(std::string text, const zephran::testing::LaunchWrites& writes) {
  for (const zephran::testing::ProfileWrite& write : writes) {
    text = SetProfileValue(text, write.section, write.key, write.value).value();
  }
  return text;
}

// False where the file system or our privileges do not allow it.
bool SetImmutable(const fs::path& file, bool immutable) {
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_NONBLOCK);
  int flags = 0;
  const bool set = descriptor >= 0 && ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0 &&
                   ((flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL),
                    ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0);
  ::close(descriptor);
  return set;
}

struct SaveFault {
  const char* name;
  unsigned file_mode;
  unsigned folder_mode;
  bool as_user;        // permission bits must count: as an ordinary user
  const char* reason;  // words the player is shown
  // Spoils the file further; false where this system does not allow it.
  bool (*spoil)(const fs::path& file) = nullptr;
  rlim_t size_limit = RLIM_INFINITY;
};

TEST_F(PosixFaultsTest, AFailedSaveSaysWhyAndLeavesEverythingAsItWas) {
  const std::vector<SaveFault> faults = {
      {"read-only folder", 0644, 0555, true, "cannot create a file beside it (Permission denied)"},
      {"unreadable file", 0200, 0755, true, "cannot open it (Permission denied)"},
      {"read-only file", 0444, 0755, false, "it is read-only"},
      {"nearly full disk", 0644, 0755, false, "cannot write (File too large)", nullptr,
       kSettings.size() - 1},
      {"folder", 0644, 0755, false, "it is a folder",
       [](const fs::path& f) { return fs::remove(f) && fs::create_directory(f); }},
      {"pipe", 0644, 0755, false, "it is not a regular file",
       [](const fs::path& f) { return fs::remove(f) && ::mkfifo(f.c_str(), 0644) == 0; }},
      {"hard links", 0644, 0755, false, "hard links",
       [](const fs::path& f) { return ::link(f.c_str(), (f.string() + ".2").c_str()) == 0; }},
      {"huge file", 0644, 0755, false, "larger than 1 MiB",
       [](const fs::path& f) { return ::truncate(f.c_str(), 2 << 20) == 0; }},
      // Filled to the largest size by a comment, without the key a save adds.
      {"growing past 1 MiB", 0644, 0755, false, "would make it larger than 1 MiB",
       [](const fs::path& f) {
         std::string bytes = std::string(kSettings.substr(0, kSettings.find("Subtitles"))) + ';';
         bytes.resize(kLargestProfileFile - 2, 'x');
         std::ofstream(f, std::ios::binary | std::ios::trunc) << bytes << "\r\n";
         return fs::file_size(f) == kLargestProfileFile;
       }},
      {"sparse file", 0644, 0755, false, "sparse",
       [](const fs::path& f) { return ::truncate(f.c_str(), 256 << 10) == 0; }},
      {"group not ours", 0664, 0755, true, "cannot keep its group (Operation not permitted)",
       [](const fs::path& f) { return ::chown(f.c_str(), static_cast<uid_t>(-1), 0) == 0; }},
      {"immutable file", 0644, 0755, false, "cannot open it (Operation not permitted)",
       [](const fs::path& f) { return SetImmutable(f, true); }},
  };
  const std::optional<zephran::testing::Identity> user = zephran::testing::UnprivilegedUser();
  for (const SaveFault& fault : faults) {
    SCOPED_TRACE(fault.name);
    const fs::path folder = root_ / fault.name;
    const fs::path file = Write(folder / "zephran.ini", kSettings, fault.file_mode);
    const bool root = ::geteuid() == 0;
    if ((fault.spoil != nullptr && !fault.spoil(file)) || (fault.as_user && root && !user)) {
      continue;  // not possible here
    }
    if (fault.as_user && root) {
      ::chown(folder.c_str(), user->uid, user->gid);
      ::lchown(file.c_str(), user->uid, static_cast<gid_t>(-1));
    }
    fs::permissions(folder, fs::perms(fault.folder_mode));
    const std::map<std::string, std::string> before = Snapshot(root_);

    const std::string said = SaveInChild(file, Values(zephran::testing::kWindowedLaunch), [&] {
      const rlimit size_limit{fault.size_limit, fault.size_limit};
      return ::setrlimit(RLIMIT_FSIZE, &size_limit) == 0 &&
             (!fault.as_user || !root || Become(user->uid, user->gid));
    });
    EXPECT_NE(said, "saved");
    EXPECT_NE(said.find(fault.reason), std::string::npos) << said;
    EXPECT_EQ(Snapshot(root_), before);
    fs::permissions(folder, fs::perms(0755));
    SetImmutable(file, false);
  }
}

// An ACL in the kernel's xattr form: what the modes 0664 say, plus one
// named user with read and write (or, as a folder's default, read only).
struct Acl {
  std::uint32_t version = 2;
  struct {
    std::uint16_t tag;
    std::uint16_t perm;
    std::uint32_t id;
  } entries[5] = {{0x01, 6, ~0u}, {0x02, 6, 4323}, {0x04, 6, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
};

std::string AclBytes(std::uint16_t named_perm) {
  Acl acl;
  acl.entries[1].perm = named_perm;
  return std::string(reinterpret_cast<const char*>(&acl), sizeof acl);
}

std::string Attribute(const fs::path& file, const char* name) {
  std::string value(256, '\0');
  value.resize(std::max<ssize_t>(0, ::getxattr(file.c_str(), name, value.data(), value.size())));
  return value;
}

// The values kSettings already holds: a launch that changes nothing.
const std::vector<ProfileValue> kUnchanged = {
    {"Display", "ScreenWidth", "400"}, {"Display", "ScreenHeight", "300"},
    {"Display", "FullScreen", "0"},    {"Display", "VideoWidth", "512"},
    {"Display", "VideoHeight", "384"}, {"Display", "CinemaScope", "1"},
    {"Audio", "Subtitles", "1"},       {"Display", "BitsPerPixel", "16"}};

// A shared folder whose default ACL lets a stranger read new files. The file
// belongs to its owner and a group both players are in; the second player
// may write it through the group (and, in one layout, a named ACL entry).
TEST_F(PosixFaultsTest, ASharedFileStaysItsOwnersWithItsModesAclAndAttributes) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to lay out a file shared between users";
  }
  const uid_t owner = 4321;
  const uid_t other = 4323;
  const gid_t shared_group = 4322;
  const auto as = [&](uid_t uid, const std::vector<ProfileValue>& values, const fs::path& file) {
    return SaveInChild(file, values, [&] { return Become(uid, shared_group); });
  };

  for (const bool with_acl : {true, false}) {
    SCOPED_TRACE(with_acl ? "file with an ACL" : "file without an ACL");
    const fs::path folder = root_ / (with_acl ? "acl" : "plain");
    const fs::path file = Write(folder / "zephran.ini", kSettings, 0660);
    fs::permissions(folder, fs::perms(0777));
    ASSERT_EQ(::chown(file.c_str(), owner, shared_group), 0);
    if (::setxattr(folder.c_str(), "system.posix_acl_default", AclBytes(4).data(), sizeof(Acl),
                   0) != 0 ||
        ::setxattr(file.c_str(), "user.origin", "cd", 2, 0) != 0 ||
        (with_acl && ::setxattr(file.c_str(), "system.posix_acl_access", AclBytes(6).data(),
                                sizeof(Acl), 0) != 0)) {
      GTEST_SKIP() << "no extended attributes or ACLs here";
    }
    const std::string acl_before = Attribute(file, "system.posix_acl_access");
    struct stat status_before {};
    ::stat(file.c_str(), &status_before);
    const std::map<std::string, std::string> before = Snapshot(root_);

    // The second player: nothing to change plays and writes nothing; a
    // change rewrites the owner's file in place, which stays theirs, with
    // its inode, modes and ACL, and nothing else is left.
    EXPECT_EQ(as(other, kUnchanged, file), "saved");
    EXPECT_EQ(Snapshot(root_), before);
    EXPECT_EQ(as(other, Values(zephran::testing::kFullScreenLaunch), file), "saved");
    struct stat rewritten {};
    ::stat(file.c_str(), &rewritten);
    EXPECT_EQ(Read(file), Applied(std::string(kSettings), zephran::testing::kFullScreenLaunch));
    EXPECT_EQ(rewritten.st_ino, status_before.st_ino);
    EXPECT_EQ(rewritten.st_uid, owner);
    EXPECT_EQ(rewritten.st_gid, shared_group);
    EXPECT_EQ(rewritten.st_mode, status_before.st_mode);
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), acl_before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);

    // The owner: a new file, with exactly what the old one carried.
    EXPECT_EQ(as(owner, Values(zephran::testing::kWindowedLaunch), file), "saved");
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_EQ(Read(file),
              Applied(Applied(std::string(kSettings), zephran::testing::kFullScreenLaunch),
                      zephran::testing::kWindowedLaunch));
    EXPECT_EQ(after.st_uid, owner);
    EXPECT_EQ(after.st_gid, shared_group);
    EXPECT_EQ(after.st_mode, status_before.st_mode);
    EXPECT_EQ(Attribute(file, "user.origin"), "cd");
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), acl_before) << "inherited or lost";
  }
}

// A stranger the folder's default ACL would let into new files watches the
// folder through a hundred saves and tries to open everything that appears.
// A handle taken on a working file in the moment before it gets the file's
// own permissions would outlive them: the save must never offer one. The
// marker may be read (other launchers look at its lock), never written.
TEST_F(PosixFaultsTest, AStrangerNamedInTheFoldersDefaultAclOpensNothingOfASave) {
  ASSERT_EQ(::geteuid(), 0u) << "needs root to lay out a folder shared between users";
  const uid_t owner = 4321;
  const uid_t stranger = 4324;
  const fs::path folder = root_ / "shared";
  const fs::path file = Write(folder / "zephran.ini", kSettings, 0640);
  ASSERT_EQ(::chown(folder.c_str(), owner, owner), 0);
  ASSERT_EQ(::chown(file.c_str(), owner, owner), 0);
  Acl acl;
  acl.entries[1].id = stranger;
  if (::setxattr(folder.c_str(), "system.posix_acl_default", &acl, sizeof acl, 0) != 0) {
    GTEST_SKIP() << "no ACLs here";
  }
  int stop[2];
  int said[2];
  ASSERT_EQ(::pipe(stop), 0);
  ASSERT_EQ(::pipe(said), 0);
  const pid_t watcher = ::fork();
  if (watcher == 0) {
    ::close(stop[1]);
    ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
    std::set<std::string> opened;
    char byte = 0;
    if (!Become(stranger, stranger)) {
      ::_exit(1);
    }
    while (::read(stop[0], &byte, 1) < 0) {
      std::error_code error;
      for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
           it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool marker = name.ends_with(".saving~");
        for (const int mode : {O_RDWR, O_WRONLY, O_RDONLY}) {
          const int descriptor = ::open(it->path().c_str(), mode | O_NONBLOCK | O_NOFOLLOW);
          if (descriptor >= 0 && !(marker && mode == O_RDONLY)) {
            opened.insert(name + (mode == O_RDONLY ? " to read" : " to write"));
          }
          ::close(descriptor);
        }
      }
    }
    std::string list;
    for (const std::string& name : opened) {
      list += name + "\n";
    }
    (void)!::write(said[1], list.data(), list.size());
    ::_exit(0);
  }
  ::close(said[1]);
  ::close(stop[0]);
  for (int save = 0; save < 100; ++save) {
    ASSERT_EQ(SaveInChild(file,
                          Values(save % 2 == 0 ? zephran::testing::kFullScreenLaunch
                                               : zephran::testing::kWindowedLaunch),
                          [&] { return Become(owner, owner); }),
              "saved");
  }
  ::close(stop[1]);
  std::string opened(4096, '\0');
  opened.resize(std::max<ssize_t>(0, ::read(said[0], opened.data(), opened.size())));
  ::close(said[0]);
  ::waitpid(watcher, nullptr, 0);
  EXPECT_EQ(opened, "") << "the stranger opened these";
  EXPECT_EQ(Attribute(file, "system.posix_acl_access"), "");
}

// Started with its standard descriptors closed (`2>&-`), the launcher must
// not hand descriptor 2 to the first thing it opens (the display connection,
// here a file standing in for it): a failing game's error would land in that
// and never reach the player.
TEST_F(PosixFaultsTest, ClosedStandardDescriptorsAreNeverHandedToWhatTheLauncherOpens) {
  const fs::path game =
      Write("game/fails.sh", "#!/bin/sh\necho 'wine: cannot find it' >&2\nexit 3\n", 0755);
  const fs::path connection = root_ / "connection";
  const fs::path said = root_ / "said";
  const int status = RunInChild([&] {
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);
    ::close(STDERR_FILENO);
    OpenMissingStandardDescriptors();
    const int opened = ::open(connection.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (opened <= STDERR_FILENO) {
      return 10 + opened;
    }
    TestPlatform platform;
    if (!platform.StartProgram({game.string(), {}}, WindowStyle::Normal).started) {
      return 20;
    }
    const StartWatch watch = platform.WatchStart(5s);
    std::ofstream(said) << watch.reason;
    return 0;
  });
  ASSERT_EQ(DescribeStatus(status), "exit code 0");
  EXPECT_EQ(Read(said), "fails.sh ended with status 3: wine: cannot find it");
  EXPECT_EQ(Read(connection), "");
}

// A settings link in a sticky folder anyone may write (/tmp), leading to the
// player's own file elsewhere: followed only as the kernel would follow it,
// when the player or the folder's owner made it; else the save is refused
// naming the link, and the player's file is untouched.
TEST_F(PosixFaultsTest, ALinkPlantedInAStickyFolderIsNeverFollowed) {
  ASSERT_EQ(::geteuid(), 0u) << "needs root to lay out links of other users";
  const uid_t player = 4321;
  struct Row {
    const char* name;
    uid_t link_owner;
    uid_t folder_owner;
    bool followed;
  };
  const std::string bashrc = "alias ls='ls -F'\n";
  for (const Row& row : {Row{"planted by another user", 4323, 0, false},
                         Row{"another user's folder, a third's link", 4323, 4325, false},
                         Row{"the player's own link", player, 0, true},
                         Row{"the folder owner's link", 4325, 4325, true}}) {
    SCOPED_TRACE(row.name);
    const fs::path folder = root_ / row.name;
    const fs::path victim = Write(folder / "home/.bashrc", bashrc, 0644);
    ASSERT_EQ(::chown(victim.parent_path().c_str(), player, player), 0);
    ASSERT_EQ(::chown(victim.c_str(), player, player), 0);
    fs::create_directories(folder / "tmp");
    ASSERT_EQ(::chown((folder / "tmp").c_str(), row.folder_owner, row.folder_owner), 0);
    fs::permissions(folder / "tmp", fs::perms(01777));
    const fs::path link = folder / "tmp/zephran.ini";
    fs::create_symlink(victim, link);
    ASSERT_EQ(::lchown(link.c_str(), row.link_owner, row.link_owner), 0);
    fs::permissions(folder, fs::perms(0755));

    const std::string said = SaveInChild(link, Values(zephran::testing::kWindowedLaunch),
                                         [&] { return Become(player, player); });
    if (row.followed) {
      EXPECT_EQ(said, "saved");
      EXPECT_NE(Read(victim).find("[Display]"), std::string::npos);
    } else {
      EXPECT_EQ(said, "it leads through " + link.string() +
                          ", a link another user made in a folder anyone may write, which is "
                          "not followed");
      EXPECT_EQ(Read(victim), bashrc);
      EXPECT_EQ(std::distance(fs::directory_iterator(victim.parent_path()), {}), 1);
    }
  }
}

// The launcher ended by a signal while it watches the game start (closed,
// killed, its terminal gone): the game must not notice. It goes on writing
// its error output after the launcher is gone, which must neither kill it
// (SIGPIPE) nor be lost: all of it reaches where the launcher's went.
TEST_F(PosixFaultsTest, AGameOutlivesALauncherEndedDuringTheWatch) {
  const fs::path game = Write("game/talks.sh",
                              "#!/bin/sh\necho 'wine: first' >&2\nfor i in 1 2 3 4 5; do\n"
                              "  sleep 0.1\n  echo \"line $i\" >&2\ndone\necho done > \"$1\"\n",
                              0755);
  for (const int signal_number : {SIGTERM, SIGKILL, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal_number));
    const fs::path log = root_ / ("log-" + std::to_string(signal_number));
    const fs::path done = root_ / ("done-" + std::to_string(signal_number));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t launcher = ::fork();
    if (launcher == 0) {
      const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(output, STDERR_FILENO);
      TestPlatform platform;
      const bool started =
          platform.StartProgram({game.string(), {done.string()}}, WindowStyle::Normal).started;
      (void)!::write(ready[1], started ? "y" : "n", 1);
      platform.WatchStart(5s);
      ::_exit(3);
    }
    ::close(ready[1]);
    char started = 0;
    ASSERT_EQ(::read(ready[0], &started, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(started, 'y');
    std::this_thread::sleep_for(150ms);
    ::kill(launcher, signal_number);
    int status = 0;
    ::waitpid(launcher, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << DescribeStatus(status);

    for (int wait = 0; wait < 300 && !fs::exists(done); ++wait) {
      std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(fs::exists(done)) << "the game did not finish";
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Read(log), "wine: first\nline 1\nline 2\nline 3\nline 4\nline 5\n");
  }
}

// A file that already holds the player's choices needs no writing, so
// where nothing may be written the game still starts; a change is refused
// there with the system's reason.
TEST_F(PosixFaultsTest, NothingToChangeNeedsNoRightToWrite) {
  const fs::path read_only = Write("read-only/zephran.ini", kSettings, 0444);
  const fs::path theirs = Write("theirs/zephran.ini", kSettings, 0644);
  const fs::path mounted = Write("mounted/zephran.ini", kSettings, 0644);
  ASSERT_EQ(::chown(theirs.c_str(), 4321, 4321), 0);
  fs::permissions(root_ / "theirs", fs::perms(0555));
  const std::map<std::string, std::string> before = Snapshot(root_);

  const std::string folder = mounted.parent_path().string();
  const auto prepare = [&](const fs::path& file) {
    return [&, file] {
      // The whole folder mounted read-only, in a mount namespace of our own.
      return file == theirs ? ::setuid(4323) == 0
             : file != mounted
                 ? true
                 : ::unshare(CLONE_NEWNS) == 0 &&
                       ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                       ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                               nullptr) == 0;
    };
  };
  // Root is needed for the layouts; where it is missing this must fail.
  ASSERT_EQ(::geteuid(), 0u) << "needs root for a mount namespace and another user";
  for (const fs::path& file : {read_only, theirs, mounted}) {
    SCOPED_TRACE(file.string());
    EXPECT_EQ(SaveInChild(file, kUnchanged, prepare(file)), "saved");
    const std::string said =
        SaveInChild(file, Values(zephran::testing::kWindowedLaunch), prepare(file));
    EXPECT_NE(said, "saved");
    EXPECT_NE(said.find(file == mounted ? "Read-only file system" : ""), std::string::npos) << said;
  }
  EXPECT_EQ(Snapshot(root_), before);
}

// Another program writes the file after we read it and before we replace
// it: in place, as an editor saving does, or by a rename of its own.
TEST_F(PosixFaultsTest, AnotherWritersChangeIsNeverUndone) {
  const std::string theirs = "[Other]\r\nKey=1\r\n";
  for (const bool in_place : {true, false}) {
    SCOPED_TRACE(in_place ? "in place" : "by rename");
    const fs::path file = Write("zephran.ini", kSettings);
    int reads = 0;
    const auto ours = [&](const std::string& current) -> std::optional<std::string> {
      if (++reads == 1) {
        const fs::path written = in_place ? file : root_ / "theirs.tmp";
        std::ofstream(written, std::ios::binary | std::ios::trunc) << current << theirs;
        if (!in_place) {
          fs::rename(written, file);
        }
      }
      return SetProfileValue(current, "Display", "ScreenWidth", "640");
    };

    ASSERT_TRUE(EditFile(file, ours).saved);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(Read(file),
              *SetProfileValue(std::string(kSettings) + theirs, "Display", "ScreenWidth", "640"));
  }

  // One that never stops: we give up, and its last write stays.
  const fs::path file = Write("zephran.ini", kSettings);
  int reads = 0;
  const SaveResult result = EditFile(file, [&](const std::string& current) {
    std::ofstream(file, std::ios::binary | std::ios::app) << "; " << ++reads << "\r\n";
    return std::optional<std::string>(current + "Ours=1\r\n");
  });
  EXPECT_FALSE(result.saved);
  EXPECT_NE(result.reason.find("kept changing"), std::string::npos) << result.reason;
  EXPECT_LE(reads, 10);
  EXPECT_TRUE(Read(file).ends_with("; " + std::to_string(reads) + "\r\n"));
}

// A careful program that locks the file itself (flock and a POSIX record
// lock) while it updates it, in place or by a rename of its own: the save
// waits for it and keeps its update. Held for 300 ms after the save could
// have started: a loaded machine only starts the save later, which changes
// nothing of the outcome.
TEST_F(PosixFaultsTest, AProgramLockingTheFileIsWaitedForAndKept) {
  const std::string theirs = "[Other]\r\nKey=1\r\n";
  for (const bool in_place : {true, false}) {
    SCOPED_TRACE(in_place ? "in place" : "by rename");
    const fs::path file = Write("zephran.ini", kSettings);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
      const int descriptor = ::open(file.c_str(), O_RDWR);
      struct flock range {};
      range.l_type = F_WRLCK;
      range.l_whence = SEEK_SET;
      const bool locked =
          ::flock(descriptor, LOCK_EX) == 0 && ::fcntl(descriptor, F_SETLKW, &range) == 0;
      (void)!::write(ready[1], locked ? "y" : "n", 1);
      std::this_thread::sleep_for(300ms);
      const fs::path written = in_place ? file : root_ / "theirs.tmp";
      std::ofstream(written, std::ios::binary | std::ios::app)
          << (in_place ? "" : kSettings) << theirs;
      if (!in_place) {
        fs::rename(written, file);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(locked, 'y');
    const SaveResult result = EditFile(file, [](const std::string& current) {
      return SetProfileValue(current, "Display", "ScreenWidth", "640");
    });
    ::waitpid(writer, nullptr, 0);
    EXPECT_TRUE(result.saved) << result.reason;
    EXPECT_EQ(Read(file),
              *SetProfileValue(std::string(kSettings) + theirs, "Display", "ScreenWidth", "640"));
    fs::remove(file);
  }
}

// Another launcher's save lock: its marker beside the file, locked with a
// traditional fcntl lock as Wine locks it for the Windows program, and
// released after `held`. A marker nobody holds is a dead save's and is
// cleared; one that is a link, or not a launcher's, is left alone.
TEST_F(PosixFaultsTest, AnotherLaunchersSaveIsWaitedForBrieflyAndADeadOnesCleared) {
  const fs::path file = Write("zephran.ini", kSettings);
  const fs::path marker = root_ / "zephran.ini.saving~";
  const std::string record = "Zephran Loader+ save in progress\r\nfile=zephran.ini\r\n";
  // Released after 300 ms, or held until the save has given up: a loaded
  // machine can make the wait longer, never the outcome another.
  for (const bool released : {true, false}) {
    Write("zephran.ini.saving~", record);
    // In a process of its own, as the Wine server holds it: a traditional
    // lock goes with any close of the file by its process. It holds the
    // lock until its pipe closes.
    int locked[2];
    int release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
      ::close(release[1]);
      const int descriptor = ::open(marker.c_str(), O_RDWR | O_CLOEXEC);
      struct flock range {};
      range.l_type = F_WRLCK;
      range.l_start = off_t{1} << 28;
      range.l_len = 1;
      const char taken = ::fcntl(descriptor, F_SETLK, &range) == 0 ? 'y' : 'n';
      (void)!::write(locked[1], &taken, 1);
      char ignored = 0;
      (void)!::read(release[0], &ignored, 1);
      ::_exit(0);
    }
    ::close(release[0]);
    char taken = 0;
    ASSERT_EQ(::read(locked[0], &taken, 1), 1);
    ::close(locked[0]);
    ::close(locked[1]);
    ASSERT_EQ(taken, 'y');
    std::thread let_go([&] {
      if (released) {
        std::this_thread::sleep_for(300ms);
        ::close(release[1]);
      }
    });
    const auto start = std::chrono::steady_clock::now();
    const SaveResult result = platform_.WriteProfileStrings(
        Values(released ? zephran::testing::kFullScreenLaunch : zephran::testing::kWindowedLaunch),
        file.string());
    const auto waited = std::chrono::steady_clock::now() - start;
    let_go.join();
    if (!released) {
      ::close(release[1]);
    }
    ::waitpid(holder, nullptr, 0);

    EXPECT_EQ(result.saved, released) << result.reason;
    EXPECT_EQ(result.reason,
              result.saved ? "" : "another launcher is saving it (zephran.ini.saving~)");
    EXPECT_GE(waited, released ? 250ms : 1950ms);
    EXPECT_LT(waited, 10s);  // it gives up rather than waiting for ever
    EXPECT_EQ(fs::exists(marker), !result.saved);
    fs::remove(marker);
  }
  // Planted: a link to the player's file, and a file that is no marker.
  const fs::path victim = Write("victim", "mine");
  fs::create_symlink(victim, marker);
  for (int planted = 0; planted < 2; ++planted) {
    const SaveResult result =
        platform_.WriteProfileStrings(Values(zephran::testing::kWindowedLaunch), file.string());
    EXPECT_EQ(result.reason,
              "zephran.ini.saving~ beside it was not made by a launcher; remove it to save");
    EXPECT_EQ(Read(victim), "mine");
    fs::remove(marker);
    Write("zephran.ini.saving~", "[Display]\r\n");
  }
  fs::remove(marker);
  // A dead save's marker and recovery copy, made by someone who could not
  // have written the file: never put back, by a start or by a save.
  const std::string before = Read(file);
  Write("zephran.ini.saving~", record + "rewriting=zephran.ini.1a2b.old~\r\n");
  const fs::path copy = Write("zephran.ini.1a2b.old~", "[Display]\r\nScreenWidth=1\r\n");
  ASSERT_EQ(::chown(marker.c_str(), 4324, 4324), 0);
  ASSERT_EQ(::chown(copy.c_str(), 4324, 4324), 0);
  platform_.FinishInterruptedSave(file.string());
  const SaveResult result =
      platform_.WriteProfileStrings(Values(zephran::testing::kWindowedLaunch), file.string());
  EXPECT_EQ(result.reason,
            "zephran.ini.saving~ beside it belongs to another user (user 4324), who may not "
            "write the settings file, so it is no save of it; remove it, or ask its owner to");
  EXPECT_EQ(Read(file), before);
  EXPECT_TRUE(fs::exists(copy));
}

// Another user of a shared folder plants a dead save's marker and its copy.
// The file belongs to 4321 and its group 4322; under its ACL the group may
// only read it, 4323 may write it by name, and 4326, though in the group,
// may not even read it (the mask still shows the group bits as rw).
TEST_F(PosixFaultsTest, OnlyASaveByWhomTheFileLetsWriteIsPutBack) {
  ASSERT_EQ(::geteuid(), 0u) << "needs root to lay out files of other users";
  struct AclRule {
    std::uint32_t version = 2;
    struct {
      std::uint16_t tag;
      std::uint16_t perm;
      std::uint32_t id;
    } entries[6] = {{0x01, 6, ~0u}, {0x02, 6, 4323}, {0x02, 0, 4326},
                    {0x04, 4, ~0u}, {0x10, 6, ~0u},  {0x20, 0, ~0u}};
  } rule;
  const std::string acl(reinterpret_cast<const char*>(&rule), sizeof rule);
  const gid_t family = 4322;
  const auto lay_out = [&](const fs::path& path, uid_t owner, unsigned mode) {
    fs::permissions(path, fs::perms(mode));
    ASSERT_EQ(::chown(path.c_str(), owner, family), 0);
  };
  struct Row {
    const char* name;
    uid_t maker;
    const char* names;  // the file the marker is for
    bool put_back;
  };
  for (const Row& row : {Row{"a member the ACL lets only read", 4325, "zephran.ini", false},
                         Row{"a marker for the game's program", 4323, "ZP1.EXE", false},
                         Row{"a writer named in the ACL", 4323, "zephran.ini", true}}) {
    SCOPED_TRACE(row.name);
    const fs::path folder = root_ / row.name;
    const fs::path file = Write(folder / "zephran.ini", kSettings);
    const fs::path program = Write(folder / "ZP1.EXE", "MZ the game");
    lay_out(folder, 4321, 0775);
    lay_out(file, 4321, 0664);
    lay_out(program, 4321, 0775);
    ASSERT_EQ(::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    const std::string copy_name = std::string(row.names) + ".0000.old~";
    const fs::path marker =
        Write(folder / "zephran.ini.saving~",
              "Zephran Loader+ save in progress\r\nfile=" + std::string(row.names) +
                  "\r\nrewriting=" + copy_name + "\r\n");
    const fs::path copy = Write(folder / copy_name, "[Display]\r\nScreenWidth=1\r\n", 0640);
    lay_out(marker, row.maker, 0644);
    lay_out(copy, row.maker, 0640);

    if (row.put_back) {
      // The owner cannot read the copy its maker kept to itself: nothing
      // starts from the file, which may be half written, not even a launch
      // that would write nothing.
      fs::permissions(copy, fs::perms(0600));
      const std::string said = SaveInChild(file, kUnchanged, [&] { return Become(4321, family); });
      EXPECT_NE(said.find("user 4323's launcher, or the file's owner's, can finish it"),
                std::string::npos)
          << said;
    }
    platform_.FinishInterruptedSave(file.string());
    EXPECT_EQ(Read(file), row.put_back ? "[Display]\r\nScreenWidth=1\r\n" : kSettings);
    EXPECT_EQ(Read(program), "MZ the game");
    EXPECT_EQ(fs::exists(marker), !row.put_back);
  }
}

// The recovery copy of a file rewritten in place is read by whom the file is
// read by, and by no one else.
TEST_F(PosixFaultsTest, ARecoveryCopyIsReadByNoOneTheFileDenies) {
  ASSERT_EQ(::geteuid(), 0u) << "needs root to lay out files of other users";
  const fs::path file = Write("family/zephran.ini", kSettings, 0664);
  ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
  ASSERT_EQ(::chown(file.parent_path().c_str(), 4321, 4322), 0);
  fs::permissions(file.parent_path(), fs::perms(0775));
  // The group reads; 4326, in the group, is refused by name; 4323 writes.
  const std::string acl = AclValue({{kAclOwner, 6, 0},
                                    {kAclNamedUser, 6, 4323},
                                    {kAclNamedUser, 0, 4326},
                                    {kAclOwningGroup, 4, 0},
                                    {kAclMask, 6, 0},
                                    {kAclOthers, 0, 0}});
  ASSERT_EQ(::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
  const fs::path copy = file.parent_path() / "zephran.ini.0000.old~";
  const int made = RunInChild([&] {
    if (!Become(4323, 4322)) {
      return 125;
    }
    const int descriptor = ::open(file.c_str(), O_RDONLY);
    struct stat status {};
    const int copy_descriptor = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (descriptor < 0 || copy_descriptor < 0 || ::fstat(descriptor, &status) != 0) {
      return 1;
    }
    OpenToTheFilesReaders(copy_descriptor, descriptor, status);
    return 0;
  });
  ASSERT_TRUE(WIFEXITED(made) && WEXITSTATUS(made) == 0) << DescribeStatus(made);
  for (const auto& [uid, reads] : std::vector<std::pair<uid_t, bool>>{
           {4321, true}, {4323, true}, {4325, true}, {4326, false}, {4327, false}}) {
    const int status = RunInChild([&] {
      return Become(uid, uid == 4327 ? 4327 : 4322) && ::open(copy.c_str(), O_RDONLY) >= 0 ? 0 : 1;
    });
    EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, reads) << "user " << uid;
  }
}

// In a folder every user may write, what another user put there is not
// taken for the game's: not the settings file (the launcher goes on to
// zp/), not the game's program, not a save; the player's own and root's are.
TEST_F(PosixFaultsTest, WhatAnotherUserPutsInAFolderEveryoneWritesIsNotTheGames) {
  ASSERT_EQ(::geteuid(), 0u) << "needs root to lay out files of other users";
  const uid_t player = 4321;
  const uid_t stranger = 4325;
  struct Row {
    const char* name;
    unsigned folder_mode;
    uid_t owner;
    bool taken;
  };
  for (const Row& row : {Row{"a stranger's in a sticky folder", 01777, stranger, false},
                         Row{"a stranger's in an open folder", 0777, stranger, false},
                         Row{"the player's in an open folder", 0777, player, true},
                         Row{"root's in a sticky folder", 01777, 0, true},
                         Row{"a stranger's in the family's folder", 0775, stranger, true}}) {
    SCOPED_TRACE(row.name);
    const fs::path folder = root_ / row.name;
    for (const char* name : {"zephran.ini", "ZP1.EXE", "savegames/slot1/Chapter 2.nam"}) {
      const fs::path entry = Write(folder / name, "#!/bin/sh\n", 0755);
      ASSERT_EQ(::chown(entry.c_str(), row.owner, row.owner), 0);
    }
    Write(folder / "zp/zephran.ini", kSettings);
    for (const char* sub : {"", "savegames", "savegames/slot1"}) {
      ASSERT_EQ(::chown((folder / sub).c_str(), player, 4322), 0);
      fs::permissions(folder / sub, fs::perms(row.folder_mode));
    }
    // What the launcher says on its error output, kept.
    const fs::path said = root_ / (std::string(row.name) + ".said");
    const int status = RunInChild([&] {
      const int output = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (output < 0 || ::dup2(output, STDERR_FILENO) < 0 || !Become(player, 4322)) {
        return 125;
      }
      TestPlatform platform;
      const bool settings =
          platform.FirstDirEntry((folder / "zephran.ini").string(), kAttrAny) == "zephran.ini";
      const bool save =
          platform.FirstDirEntry((folder / "savegames/slot1/*.nam").string(), 0) == "Chapter 2.nam";
      const std::string refusal = platform.CheckStart({(folder / "ZP1.EXE").string(), {}});
      const bool zp =
          platform.FirstDirEntry((folder / "zp/zephran.ini").string(), kAttrAny) == "zephran.ini";
      const bool told = refusal.find("belongs to another user") != std::string::npos;
      return (settings == row.taken && save == row.taken && told != row.taken && zp) ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << DescribeStatus(status);
    const std::string error_output = Read(said);
    EXPECT_EQ(error_output.find("belongs to another user") != std::string::npos, !row.taken)
        << error_output;
    const bool unsafe = row.folder_mode == 0777;  // the player's zp/ lies there too
    EXPECT_EQ(error_output.find("warning: every user may write to " + folder.string() + ",") !=
                  std::string::npos,
              unsafe)
        << error_output;
  }
}

// Every state the file may be in while the writer runs from `start`: after
// whole launches only, never between two of a launch's values.
std::set<std::string> ReachableStates(const std::string& start) {
  return {start, Applied(start, zephran::testing::kFullScreenLaunch),
          Applied(Applied(start, zephran::testing::kFullScreenLaunch),
                  zephran::testing::kWindowedLaunch)};
}

struct Writer {
  pid_t pid = -1;
  int ready = -1;  // one byte arrives just before the first write
};

// `writer`: the program; `as`: its user and group, or root's own when 0.
Writer StartWriter(const fs::path& writer, const fs::path& file, uid_t as = 0, gid_t group = 0) {
  int pipe_ends[2] = {-1, -1};
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
    return {};
  }
  std::string program = writer.string();
  std::string argument = file.string();
  char* const argv[] = {program.data(), argument.data(), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_ends[1], STDOUT_FILENO);
    if (as != 0 && (::setgroups(1, &group) != 0 || ::setgid(group) != 0 || ::setuid(as) != 0)) {
      ::_exit(126);
    }
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  return {pid, pipe_ends[0]};
}

// How long one launch's writes take here, to spread the kills over a few.
std::chrono::microseconds TimeOfOneLaunch(TestPlatform& platform, const fs::path& file) {
  const auto start = std::chrono::steady_clock::now();
  platform.WriteProfileStrings(Values(zephran::testing::kWindowedLaunch), file.string());
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

// Killed anywhere, a writer leaves one of the states between whole launches:
// the owner's writer, whose saves replace the file, and a second player's,
// whose saves rewrite the owner's file in place. For the second, the next
// start (FinishInterruptedSave) puts back a rewrite the kill cut short.
TEST_F(PosixFaultsTest, AWriterKilledAnywhereLeavesOneOfTheStatesOfItsWrites) {
  ASSERT_EQ(::geteuid(), 0u) << "needs root to run a writer as a second player";
  // A copy the second player can reach: the build may lie in a folder only
  // its owner may enter (a clone in a private temporary folder).
  const fs::path writer = root_ / "launch_writer";
  fs::copy_file(ZEPHRAN_LAUNCH_WRITER, writer);
  fs::permissions(writer, fs::perms(0755));
  for (const bool in_place : {false, true}) {
    SCOPED_TRACE(in_place ? "rewritten in place by a second player" : "replaced by its owner");
    const fs::path folder = root_ / (in_place ? "in-place" : "replaced");
    const fs::path file = Write(folder / "zephran.ini", kSettings, 0660);
    // A family's folder: its group may write it.
    fs::permissions(folder, fs::perms(0770));
    ASSERT_EQ(::chown(folder.c_str(), 0, 4322), 0);
    if (in_place) {
      ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
    }
    const auto launch_time = TimeOfOneLaunch(platform_, Write("timing.ini", kSettings));
    fs::remove(root_ / "timing.ini");
    const long long longest_delay = std::clamp<long long>(3 * launch_time.count(), 200, 200'000);

    std::mt19937 random(20240607);
    std::uniform_int_distribution<long long> delay(0, longest_delay);
    const auto deadline = std::chrono::steady_clock::now() + 6s;
    std::set<std::string> seen;
    int kills = 0;
    for (; kills < 200 && std::chrono::steady_clock::now() < deadline; ++kills) {
      const std::set<std::string> reachable = ReachableStates(Read(file));
      const Writer running =
          in_place ? StartWriter(writer, file, 4323, 4322) : StartWriter(writer, file);
      ASSERT_GT(running.pid, 0);
      char ready = 0;
      const ssize_t got = ::read(running.ready, &ready, 1);
      ::close(running.ready);
      if (got == 1) {
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
      }
      ::kill(running.pid, SIGKILL);
      int status = 0;
      ::waitpid(running.pid, &status, 0);
      ASSERT_EQ(got, 1) << "the writer did not start: " << DescribeStatus(status);
      ASSERT_TRUE(WIFSIGNALED(status))
          << "the writer stopped by itself: " << DescribeStatus(status);
      if (in_place) {
        platform_.FinishInterruptedSave(file.string());
      }

      const std::string now = Read(file);
      ASSERT_TRUE(reachable.contains(now)) << "after kill " << kills << " the file is:\n" << now;
      seen.insert(now);
      for (const auto& entry : Snapshot(folder)) {
        ASSERT_TRUE(
            entry.first == "zephran.ini" ||
            (!in_place && (entry.first == "zephran.ini.saving~" || IsTemporaryName(entry.first))))
            << entry.first;
      }
      if (in_place) {
        struct stat status_now {};
        ::stat(file.c_str(), &status_now);
        ASSERT_EQ(status_now.st_uid, 4321u);
      }
    }

    const std::size_t leftovers = Snapshot(folder).size() - 1;
    std::cout << kills << " kills, " << seen.size() << " different states, " << leftovers
              << " temporary files and markers left by kills during a write\n";
    // Timing decides where the kills land; more than one state shows that
    // some landed after a launch's write.
    EXPECT_GE(seen.size(), 2u);
    // Through any spelling of its name, the file read is the settings file
    // and never a leftover.
    EXPECT_EQ(platform_.ReadProfileString("Display", "ScreenWidth", "", 255,
                                          (folder / "ZEPHRAN.INI").string()),
              FindProfileValue(Read(file), "Display", "ScreenWidth").value());
    EXPECT_EQ(platform_.FirstDirEntry((folder / "*.ini").string(), 0), "zephran.ini");
  }
}

}  // namespace
}  // namespace zephran::platform
