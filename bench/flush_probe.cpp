// What the disk adds to a launch: the launcher replaces the settings file
// eight times, each time flushing the new file and then its folder to the
// disk. This does the same eight replacements of a small file in the folder
// given and prints how long they took together, in milliseconds.
//
//   flush_probe FOLDER
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/posix_atomic_file.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: flush_probe FOLDER\n");
    return 2;
  }
  const std::filesystem::path file = std::filesystem::path(argv[1]) / "flush-probe.ini";
  // The size of the sample settings file.
  const std::string bytes(174, 'x');
  const auto start = std::chrono::steady_clock::now();
  for (int write = 0; write < 8; ++write) {
    if (!zephran::platform::ReplaceFileContents(file, bytes)) {
      std::fprintf(stderr, "flush_probe: cannot write %s\n", file.c_str());
      return 1;
    }
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  std::filesystem::remove(file);
  std::printf("eight_replacements_ms=%.3f\n", took.count());
  return 0;
}
