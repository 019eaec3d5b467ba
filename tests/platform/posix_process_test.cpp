#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/native_platform.h"
#include "tests/platform/posix_temp_folder.h"

namespace zephran::platform {
namespace {

namespace fs = std::filesystem;

using TestPlatform = platform::NativePlatform;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_ = nullptr;
  std::optional<std::string> old_;
};

// Written by the started programs: working folder, $0, one bracketed line
// per argument, the Wine prefix, and last its parent and session, which show
// whether it was detached. Renamed into place so that a half-written record is
// never read.
constexpr char kRecorder[] = R"sh(#!/bin/sh
{
  pwd -P
  printf '%s\n' "$0"
  for argument in "$@"; do printf '[%s]\n' "$argument"; done
  printf 'prefix=%s\n' "$WINEPREFIX"
  printf '%s %s\n' "$PPID" "$(ps -o sid= -p $$ 2>/dev/null | tr -d ' ')"
} > "$RECORD_FILE.part" && mv "$RECORD_FILE.part" "$RECORD_FILE"
)sh";

class PosixProcessTest : public test_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    // A folder name a shell would mangle: spaces, both quotes and a "$".
    game_ = root_ / "Game \"$HOME\" it's";
    fs::create_directories(game_);
    record_ = root_ / "record.txt";
  }

  fs::path WriteFile(const fs::path& path, const std::string& bytes, unsigned mode) {
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, fs::perms(mode));
    return path;
  }

  // The record as lines, once it appears; empty after five seconds. The
  // parent and session line goes to `detachment_`.
  std::vector<std::string> AwaitRecord() {
    for (int attempt = 0; attempt < 500 && !fs::exists(record_); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(record_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      lines.push_back(line);
    }
    if (!lines.empty()) {
      std::istringstream(lines.back()) >> detachment_.parent >> detachment_.session;
      lines.pop_back();
    }
    return lines;
  }

  struct Detachment {
    pid_t parent = 0;
    pid_t session = 0;  // 0 where ps cannot tell
  };

  TestPlatform platform_;
  fs::path game_;
  fs::path record_;
  Detachment detachment_;
};

TEST_F(PosixProcessTest, StartsAProgramInItsFolderWithArgumentsKeptWhole) {
  const fs::path script = WriteFile(game_ / "Start.SH", kRecorder, 0755);
  const ScopedEnv record("RECORD_FILE", record_.string());
  const ScopedEnv prefix("WINEPREFIX", "/prefix");
  const CommandLine command{(game_ / "start.sh").string(),
                            {"load_game", "slot 3", "it's \"$HOME\" *", ""}};

  const StartResult result = platform_.StartProgram(command, WindowStyle::MinimizedWithFocus);

  ASSERT_TRUE(result.started) << result.error;
  EXPECT_EQ(AwaitRecord(),
            (std::vector<std::string>{game_.string(), script.string(), "[load_game]", "[slot 3]",
                                      "[it's \"$HOME\" *]", "[]", "prefix=/prefix"}));
  // Not our child (no zombie to reap) and not in our session (outlives us).
  EXPECT_NE(detachment_.parent, ::getpid());
  EXPECT_NE(detachment_.parent, 0);
  if (detachment_.session != 0) {
    EXPECT_NE(detachment_.session, ::getsid(0));
  }
}

TEST_F(PosixProcessTest, StartsWindowsProgramsThroughWine) {
  const fs::path program = WriteFile(game_ / "ZP1.EXE", "MZ not really a program", 0755);
  fs::create_directories(root_ / "bin");
  const fs::path wine = WriteFile(root_ / "bin/fake-wine", kRecorder, 0755);
  const ScopedEnv record("RECORD_FILE", record_.string());
  const ScopedEnv prefix("WINEPREFIX", "/prefix");
  const std::string path = (root_ / "bin").string() + ":" + std::getenv("PATH");

  struct Case {
    std::string wine_variable;
    std::string search_path;
  };
  for (const Case& c : {Case{wine.string(), std::getenv("PATH")}, Case{"fake-wine", path}}) {
    SCOPED_TRACE(c.wine_variable);
    fs::remove(record_);
    const ScopedEnv wine_variable("WINE", c.wine_variable);
    const ScopedEnv search_path("PATH", c.search_path);

    const StartResult result = platform_.StartProgram(
        {(game_ / "zp1.exe").string(), {"game_nextframe"}}, WindowStyle::Normal);

    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(AwaitRecord(),
              (std::vector<std::string>{game_.string(), wine.string(), "[" + program.string() + "]",
                                        "[game_nextframe]", "prefix=/prefix"}));
  }
}

TEST_F(PosixProcessTest, ReportsProgramsThatCannotStartByName) {
  WriteFile(game_ / "ZP2.EXE", "MZ", 0755);
  WriteFile(game_ / "plain.sh", kRecorder, 0644);
  WriteFile(game_ / "broken.sh", "#!/missing/interpreter\n", 0755);
  ASSERT_EQ(::mkfifo((game_ / "ZP1.EXE").c_str(), 0755), 0);
  const ScopedEnv wine("WINE", "/missing/wine");

  struct Case {
    fs::path program;
    std::vector<std::string> words;
  };
  const std::vector<Case> cases = {
      {game_ / "ZP3.EXE", {"ZP3.EXE", "no such file"}},
      {root_ / "missing" / "ZP1.EXE", {"missing/ZP1.EXE", "no such file"}},
      {game_ / "zp2.exe", {"zp2.exe", "/missing/wine"}},
      {game_ / "plain.sh", {"plain.sh", "permission denied"}},
      {game_ / "broken.sh", {"broken.sh", "interpreter"}},
      {game_, {game_.string(), "folder"}},
      // Opening these to look inside would wait for a writer for ever.
      {game_ / "ZP1.EXE", {"ZP1.EXE", "not a regular file"}},
      {"/dev/zero", {"/dev/zero", "not a regular file"}},
      {"no-such-program-anywhere", {"no-such-program-anywhere"}},
  };
  for (const Case& c : cases) {
    const StartResult result =
        platform_.StartProgram({c.program.string(), {}}, WindowStyle::Normal);
    EXPECT_FALSE(result.started) << c.program;
    EXPECT_TRUE(result.error.starts_with("Cannot start " + c.program.string())) << result.error;
    for (const std::string& word : c.words) {
      EXPECT_NE(result.error.find(word), std::string::npos) << result.error;
    }
  }
}

// Stand-ins for Wine and for the read-me's opener, first on PATH: how each
// start is watched, and what the player is told.
TEST_F(PosixProcessTest, WatchTellsAFailingStartFromOneThatRunsOrEndsWell) {
  WriteFile(game_ / "ZP1.EXE", "MZ", 0755);
  fs::create_directories(root_ / "bin");
  const ScopedEnv wine_variable("WINE", "wine");
  const ScopedEnv path("PATH", (root_ / "bin").string() + ":" + std::getenv("PATH"));
  const ScopedEnv pid_file("PID_FILE", (root_ / "pid").string());
  using std::chrono::milliseconds;

  struct Case {
    const char* program;  // "wine" (starting ZP1.EXE) or "xdg-open"
    const char* script;
    const char* reason;                        // empty when no failure is to be seen
    milliseconds limit = milliseconds(20000);  // ended well before it
  };
  const std::vector<Case> cases = {
      // Wine's own word comes after its helpers' complaints.
      {"wine",
       "echo '0044:err:systray:initialize_systray no tray' >&2\n"
       "echo 'wine: failed to open \"ZP1.EXE\": c0000135' >&2; exit 53",
       "wine ended with status 53: wine: failed to open \"ZP1.EXE\": c0000135"},
      // Debian's wine when wine32 is missing: its hint, then the 64-bit loader fails.
      {"wine",
       "echo 'it looks like wine32 is missing, you should install it.' >&2\n"
       "echo 'as root, please execute \"apt-get install wine32:i386\"' >&2; exit 1",
       "wine ended with status 1: it looks like wine32 is missing, you should install it."},
      // Control characters never reach a message box.
      {"wine", "sleep 0.3; printf '\\n \\033[1mbad\\tprefix\\n' >&2; exit 5",
       "wine ended with status 5: [1mbadprefix"},
      {"wine", "kill -9 $$", "wine was ended by signal 9 (Killed)"},
      // The opener's statuses in the player's words, its own after them.
      {"xdg-open", "echo 'x-terminal-emulator: not found' >&2; exit 4",
       "the program this computer has set up to show text files could not show it. Open the "
       "file with any text editor (xdg-open ended with status 4: x-terminal-emulator: not found)"},
      {"xdg-open", "exit 3",
       "this computer has no program set up to show text files. Open the file with any text "
       "editor, or install one (xdg-open ended with status 3)"},
      {"xdg-open", "exit 1", "xdg-open ended with status 1"},
      // Ended well, or still running at the limit: nothing to tell.
      {"wine", "echo 'fixme:heap' >&2; exit 0", ""},
      {"xdg-open", "echo $$ > \"$PID_FILE\"; exec sleep 30", "", milliseconds(300)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    WriteFile(root_ / "bin" / c.program, std::string("#!/bin/sh\n") + c.script + "\n", 0755);
    const std::string program =
        std::string(c.program) == "wine" ? (game_ / "ZP1.EXE").string() : c.program;
    ASSERT_TRUE(platform_.StartProgram({program, {}}, WindowStyle::Normal).started);

    const auto started = std::chrono::steady_clock::now();
    const StartWatch watch = platform_.WatchStart(c.limit);
    const auto waited = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(watch.failed, *c.reason != '\0');
    EXPECT_EQ(watch.reason, c.reason);
    if (c.limit < milliseconds(1000)) {
      EXPECT_GE(waited, c.limit);
    } else {
      EXPECT_LT(waited, c.limit);  // it returned when the program ended
    }
  }
  // The one still running outlived the watch (on a busy machine it may only
  // now get to writing its number).
  for (int attempt = 0; attempt < 1000 && !fs::exists(root_ / "pid"); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ifstream pid_in(root_ / "pid");
  pid_t running = 0;
  ASSERT_TRUE(pid_in >> running);
  EXPECT_EQ(::kill(running, SIGKILL), 0);
}

TEST_F(PosixProcessTest, OutputAfterTheWatchGoesOnWhereOursWentAndNeverBlocksTheProgram) {
  const fs::path log = root_ / "stderr.txt";
  // Far more than a pipe holds, written after the watch has let go: all of
  // it arrives only if nothing blocks the program.
  WriteFile(game_ / "talk.sh",
            "#!/bin/sh\necho early >&2\nsleep 0.5\nhead -c 1000000 /dev/zero | tr '\\0' x >&2\n",
            0755);
  const int saved_stderr = ::dup(STDERR_FILENO);
  const int log_descriptor = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(log_descriptor, STDERR_FILENO);
  ::close(log_descriptor);
  const bool started =
      platform_.StartProgram({(game_ / "talk.sh").string(), {}}, WindowStyle::Normal).started;
  const StartWatch watch = platform_.WatchStart(std::chrono::milliseconds(100));
  ::dup2(saved_stderr, STDERR_FILENO);
  ::close(saved_stderr);
  ASSERT_TRUE(started);
  EXPECT_FALSE(watch.failed);

  std::uintmax_t size = 0;
  for (int attempt = 0; attempt < 1000 && size < 1000006; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    size = fs::file_size(log);
  }
  EXPECT_EQ(size, 1000006u);  // "early\n" and every byte after it
}

TEST_F(PosixProcessTest, ThirtyTwoBitGameIsRefusedWhenDebiansWineLacksItsLoader) {
  // A DOS header whose last field points at the PE header just after it.
  const auto pe = [](const char* machine) {
    return "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0PE\0\0", 8) + machine;
  };
  fs::create_directories(root_ / "bin");
  const ScopedEnv wine_variable("WINE", (root_ / "bin/wine").string());

  struct Case {
    std::string game;
    std::string loader_line;  // in the stand-in wine script
    bool refused;
  };
  const std::vector<Case> cases = {
      {pe("\x4C\x01"), "wine32=/usr/lib/nowhere/wine", true},
      {pe("\x4C\x01"), "wine32=/bin/sh", false},                // the loader is there
      {pe("\x64\x86"), "wine32=/usr/lib/nowhere/wine", false},  // a 64-bit game
      {pe("\x4C\x01"), "exec wine-preloader", false},           // another Wine
      {"MZ", "wine32=/usr/lib/nowhere/wine", false},            // no PE header to go by
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loader_line);
    WriteFile(game_ / "ZP1.EXE", c.game, 0644);
    WriteFile(root_ / "bin/wine", "#!/bin/sh\n" + c.loader_line + "\nexit 0\n", 0755);

    const std::string refusal = platform_.CheckStart({(game_ / "ZP1.EXE").string(), {}});

    EXPECT_EQ(!refusal.empty(), c.refused) << refusal;
    if (c.refused) {
      EXPECT_NE(refusal.find("32-bit"), std::string::npos) << refusal;
      EXPECT_NE(refusal.find("apt-get install wine32:i386"), std::string::npos) << refusal;
    }
  }
  EXPECT_EQ(platform_.CheckStart({(game_ / "missing.exe").string(), {}}), "");
}

TEST_F(PosixProcessTest, ProgramFolderIsTheExecutablesFolderNotTheWorkingOne) {
  const fs::path previous = fs::current_path();
  fs::current_path(root_);
  const std::string folder = platform_.ProgramFolder();
  fs::current_path(previous);

  EXPECT_TRUE(fs::path(folder).is_absolute()) << folder;
  EXPECT_NE(folder, root_.string());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(fs::exists(fs::path(folder) / "platform_tests")) << folder;
}

TEST_F(PosixProcessTest, EndProgramExitsAtOnceAfterFlushingOutput) {
  static std::string output;
  output = (root_ / "output.txt").string();
  EXPECT_EXIT(
      {
        std::FILE* file = std::fopen(output.c_str(), "w");
        std::fputs("flushed", file);
        std::atexit([] {
          std::FILE* late = std::fopen(output.c_str(), "a");
          std::fputs(" and a handler ran", late);
          std::fclose(late);
        });
        TestPlatform().EndProgram();
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(0), "");
  std::ifstream in(output);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "flushed");
}

}  // namespace
}  // namespace zephran::platform
