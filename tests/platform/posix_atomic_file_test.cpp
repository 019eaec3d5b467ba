#include "platform/posix_atomic_file.h"
#include "tests/platform/posix_temp_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace zephran::platform {
namespace {

namespace fs = std::filesystem;

// Run in a child process only: the limit stays for the rest of its life.
bool ReplaceUnderSizeLimit(const fs::path& file, rlim_t limit, std::string_view bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit size_limit{limit, limit};
  ::setrlimit(RLIMIT_FSIZE, &size_limit);
  return ReplaceFileContents(file, bytes);
}

class PosixAtomicFileTest : public test_support::TempFolderTest {
 protected:
  static std::string Read(const fs::path& path) { return ReadFile(path); }

  static unsigned Mode(const fs::path& path) {
    return static_cast<unsigned>(fs::status(path).permissions()) & 07777;
  }

  static std::string AccessAcl(const fs::path& path) {
    std::string acl(256, '\0');
    acl.resize(std::max<ssize_t>(
        0, ::getxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size())));
    return acl;
  }

  // Every name under the root: a temporary file left behind shows up here.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
      names.insert(entry.path().lexically_relative(root_).string());
    }
    return names;
  }
};

TEST_F(PosixAtomicFileTest, ReplacesContentsKeepingModesAndLeavingNothingBehind) {
  const fs::path file = Write("ZEPHRAN.INI", "old contents", 0640);
  ASSERT_TRUE(ReplaceFileContents(file, "new\r\n"));
  EXPECT_EQ(Read(file), "new\r\n");
  EXPECT_EQ(Mode(file), 0640u);
  EXPECT_EQ(Names(), std::set<std::string>{"ZEPHRAN.INI"});
}

TEST_F(PosixAtomicFileTest, KeepsOwnerAndGroupWhenAllowed) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "only root may give a file to someone else";
  }
  const fs::path file = Write("zephran.ini", "old");
  ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
  ASSERT_TRUE(ReplaceFileContents(file, "new"));
  struct stat status {};
  ASSERT_EQ(::stat(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 4321u);
  EXPECT_EQ(status.st_gid, 4322u);
}

// The working file is created for us alone; the new file must still end up
// as one the program made directly would: the umask's modes, or those of the
// folder's default ACL, and that ACL, exactly.
TEST_F(PosixAtomicFileTest, CreatesAMissingFileAsAnyNewFileThere) {
  struct Case {
    mode_t umask;
    bool default_acl;
  };
  // An ACL in the kernel's form: owner rw, a named user rw, group r, mask rw,
  // others r.
  const std::uint32_t acl[] = {2,   0x01 | 6 << 16, ~0u, 0x02 | 6 << 16, 4323, 0x04 | 4 << 16,
                               ~0u, 0x10 | 6 << 16, ~0u, 0x20 | 4 << 16, ~0u};
  for (const Case c : {Case{022, false}, Case{077, false}, Case{002, false}, Case{077, true}}) {
    const fs::path folder =
        root_ / ("umask" + std::to_string(c.umask) + (c.default_acl ? "acl" : ""));
    fs::create_directories(folder);
    if (c.default_acl &&
        ::setxattr(folder.c_str(), "system.posix_acl_default", acl, sizeof acl, 0) != 0) {
      continue;  // no ACLs here
    }
    const mode_t previous = ::umask(c.umask);
    const bool replaced = ReplaceFileContents(folder / "new.ini", "[Display]\r\n");
    ::close(::open((folder / "direct").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    ::umask(previous);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(Read(folder / "new.ini"), "[Display]\r\n");
    EXPECT_EQ(Mode(folder / "new.ini"), Mode(folder / "direct")) << folder;
    EXPECT_EQ(Mode(folder / "new.ini"), c.default_acl ? 0664u : 0666u & ~c.umask) << folder;
    EXPECT_EQ(AccessAcl(folder / "new.ini"), AccessAcl(folder / "direct")) << folder;
  }
}

TEST_F(PosixAtomicFileTest, WritesThroughSymbolicLinks) {
  const fs::path target = Write("real/zephran.ini", "old", 0600);
  fs::create_directories(root_ / "game");
  fs::create_symlink("../real/zephran.ini", root_ / "game/zephran.ini");
  fs::create_symlink("zephran.ini", root_ / "game/chain.ini");

  ASSERT_TRUE(ReplaceFileContents(root_ / "game/chain.ini", "new"));
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(Mode(target), 0600u);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(root_ / "game/zephran.ini")));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(root_ / "game/chain.ini")));
  EXPECT_EQ(fs::read_symlink(root_ / "game/zephran.ini"), "../real/zephran.ini");
  EXPECT_EQ(Names().size(), 5u);
}

TEST_F(PosixAtomicFileTest, RefusesWithoutTouchingAnything) {
  Write("readonly.ini", "kept", 0444);
  Write("group-writable-only.ini", "kept", 0464);
  fs::create_directories(root_ / "folder.ini");
  fs::create_symlink("loop.ini", root_ / "loop.ini");
  const std::set<std::string> before = Names();

  for (const char* name :
       {"readonly.ini", "group-writable-only.ini", "folder.ini", "loop.ini", "missing/new.ini"}) {
    EXPECT_FALSE(ReplaceFileContents(root_ / name, "new")) << name;
  }
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(Read(root_ / "readonly.ini"), "kept");
  EXPECT_EQ(Read(root_ / "group-writable-only.ini"), "kept");
}

TEST_F(PosixAtomicFileTest, AWriteErrorLeavesTheOldFileAndNoTemporary) {
  const fs::path file = Write("zephran.ini", "old contents");
  // A file size limit makes the write fail half way (EFBIG), as a full disk
  // would; the signal that normally comes with it is not ours to test here.
  EXPECT_EXIT(std::_Exit(ReplaceUnderSizeLimit(file, 1024, std::string(4096, 'x')) ? 1 : 0),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Read(file), "old contents");
  EXPECT_EQ(Names(), std::set<std::string>{"zephran.ini"});
}

}  // namespace
}  // namespace zephran::platform
