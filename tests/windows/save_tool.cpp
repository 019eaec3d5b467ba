// Saves a launch's eight values into FILE through the real platform, then
// prints "saved" or "refused: " and the reason; exits 0 when saved. The
// save fault test runs it under Wine on file systems it prepares.
//
// usage: save_tool FILE

#include <cstdio>
#include <string>
#include <vector>

#include "platform/native_platform.h"
#include "tests/tools/launch_writes.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::vector<zephran::platform::ProfileValue> values;
  for (const zephran::testing::ProfileWrite& write : zephran::testing::kWindowedLaunch) {
    values.push_back(
        {std::string(write.section), std::string(write.key), std::string(write.value)});
  }
  zephran::platform::NativePlatform platform;
  const zephran::platform::SaveResult result = platform.WriteProfileStrings(values, argv[1]);
  std::printf("%s%s\n", result.saved ? "saved" : "refused: ", result.reason.c_str());
  return result.saved ? 0 : 1;
}
