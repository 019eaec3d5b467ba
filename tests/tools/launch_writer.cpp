// Makes the grouped write of a launch's eight values again and again, alternating between two
// sets of choices, through the real platform, until it is killed. Tests kill
// it at random moments and look at what is left of the settings file.
//
// usage: launch_writer FILE [PAUSE_MS]
// PAUSE_MS: a pause after each save, as between two players' launches, so
// that another launcher saving beside it finds the lock free now and then.
// Writes one byte to standard output just before the first write, so that a
// test can time its kill from there rather than from the program's start-up.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/native_platform.h"
#include "tests/tools/launch_writes.h"

namespace {

// An orphan left by a test that died before killing it stops by itself.
constexpr auto kLifetime = std::chrono::seconds(30);

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s FILE [PAUSE_MS]\n", argv[0]);
    return 2;
  }
  const auto pause = std::chrono::milliseconds(argc == 3 ? std::atoi(argv[2]) : 0);
  const std::string file = argv[1];
  zephran::platform::NativePlatform platform;
  if (::write(STDOUT_FILENO, "w", 1) != 1) {
    return 1;
  }
  const auto end = std::chrono::steady_clock::now() + kLifetime;
  bool full_screen = true;
  while (std::chrono::steady_clock::now() < end) {
    const auto& writes =
        full_screen ? zephran::testing::kFullScreenLaunch : zephran::testing::kWindowedLaunch;
    std::vector<zephran::platform::ProfileValue> values;
    for (const zephran::testing::ProfileWrite& write : writes) {
      values.push_back(
          {std::string(write.section), std::string(write.key), std::string(write.value)});
    }
    if (const zephran::platform::SaveResult result = platform.WriteProfileStrings(values, file);
        !result.saved) {
      std::fprintf(stderr, "launch_writer: a write failed: %s\n", result.reason.c_str());
      return 1;
    }
    full_screen = !full_screen;
    std::this_thread::sleep_for(pause);
  }
  return 0;
}
