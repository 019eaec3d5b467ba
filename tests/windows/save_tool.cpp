// The Windows program's file work, one step per run, through the real
// platform, for the save fault test to run under Wine on folders it
// prepares (tests/windows/save_faults_test.sh).
//
// usage: save_tool [--full-screen] [--keeping-security] FILE
//          saves a launch's eight values (the windowed launch unless
//          --full-screen) and prints "saved" or "refused: " and the reason;
//          --keeping-security replaces the file with ReplaceFileW as on
//          Windows, also under Wine
//        save_tool --repeat [--keeping-security] FILE
//                                   saves the two launches by turns until
//                                   killed (30 s at most), after printing
//                                   "ready"; prints the reason of a refusal
//        save_tool --finish FILE    what a start does before it looks for FILE
//        save_tool --reset FILE     the start's attribute reset of FILE
//        save_tool --find PATTERN   prints the start's look-up of PATTERN
//        save_tool --check-start PROGRAM
//                                   prints why the launch would not start it
//        save_tool --hold FILE UNTIL
//                                   takes FILE's save lock, prints "held", and
//                                   keeps it until the file UNTIL exists (30 s
//                                   at most), however slow the machine is

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/native_platform.h"
#include "platform/windows_save.h"
#include "tests/tools/launch_writes.h"

namespace {

namespace zp = zephran::platform;

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--full-screen] [--keeping-security] FILE\n"
               "       %s --repeat [--keeping-security] FILE\n"
               "       %s --finish FILE | --reset FILE | --hold FILE UNTIL\n"
               "       %s --find PATTERN | --check-start PROGRAM\n",
               program, program, program, program);
  return 2;
}

int Save(const std::string& file, bool full_screen, bool keeping_security, bool say_saved) {
  std::vector<zp::ProfileValue> values;
  for (const zephran::testing::ProfileWrite& write :
       full_screen ? zephran::testing::kFullScreenLaunch : zephran::testing::kWindowedLaunch) {
    values.push_back(
        {std::string(write.section), std::string(write.key), std::string(write.value)});
  }
  zp::NativePlatform platform;
  const zp::SaveResult result =
      keeping_security ? zp::SaveProfileValues(values, file, zp::ReplaceMethod::KeepingSecurity)
                       : platform.WriteProfileStrings(values, file);
  if (!result.saved || say_saved) {
    std::printf("%s%s\n", result.saved ? "saved" : "refused: ", result.reason.c_str());
    std::fflush(stdout);
  }
  return result.saved ? 0 : 1;
}

// Keeps saving, so that a kill at any moment lands inside a save. An orphan
// left by a test that died before killing it stops by itself.
int Repeat(const std::string& file, bool keeping_security) {
  std::printf("ready\n");
  std::fflush(stdout);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (bool full_screen = true; std::chrono::steady_clock::now() < end;
       full_screen = !full_screen) {
    if (Save(file, full_screen, keeping_security, false) != 0) {
      return 1;
    }
  }
  return 0;
}

int Hold(const std::string& file, const std::string& until) {
  const std::string refusal = zp::WithSaveLock(file, [&] {
    std::printf("held\n");
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (zp::NativePlatform().FirstDirEntry(until, zp::kAttrAny).empty() &&
           std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  if (!refusal.empty()) {
    std::printf("refused: %s\n", refusal.c_str());
  }
  return refusal.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  if (arguments.size() == 2 && arguments[0] == "--finish") {
    zp::NativePlatform().FinishInterruptedSave(argv[2]);
    return 0;
  }
  if (arguments.size() == 2 && arguments[0] == "--reset") {
    zp::NativePlatform().SetNormalAttributes(argv[2]);
    return 0;
  }
  if (arguments.size() == 2 && arguments[0] == "--find") {
    std::printf("%s\n", zp::NativePlatform().FirstDirEntry(argv[2], zp::kAttrAny).c_str());
    return 0;
  }
  if (arguments.size() == 2 && arguments[0] == "--check-start") {
    std::printf("%s\n", zp::NativePlatform().CheckStart({argv[2], {}}).c_str());
    return 0;
  }
  if (arguments.size() == 3 && arguments[0] == "--hold") {
    return Hold(argv[2], argv[3]);
  }
  bool full_screen = false;
  bool keeping_security = false;
  bool repeat = false;
  std::size_t at = 0;
  for (; at + 1 < arguments.size(); ++at) {
    if (arguments[at] == "--full-screen") {
      full_screen = true;
    } else if (arguments[at] == "--keeping-security") {
      keeping_security = true;
    } else if (arguments[at] == "--repeat") {
      repeat = true;
    } else {
      return Usage(argv[0]);
    }
  }
  if (at + 1 != arguments.size()) {
    return Usage(argv[0]);
  }
  return repeat ? Repeat(argv[at + 1], keeping_security)
                : Save(argv[at + 1], full_screen, keeping_security, true);
}
