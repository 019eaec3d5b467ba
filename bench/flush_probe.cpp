// What the disk adds to a launch: the launcher saves the settings file with
// one atomic replacement, flushing the new file and then its folder to the
// disk. This times that one replacement of a small file in the folder given,
// and, for comparison, eight replacements in a row (one per value, as each
// value was once saved on its own), and prints both in milliseconds.
//
//   flush_probe FOLDER
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/posix_atomic_file.h"

namespace {

// Milliseconds for `count` replacements of `file`, each with different bytes
// of the size of the sample settings file; negative on failure.
double TimeReplacements(const std::filesystem::path& file, int count) {
  const auto start = std::chrono::steady_clock::now();
  for (int write = 0; write < count; ++write) {
    const std::string bytes(174, static_cast<char>('a' + write));
    if (!zephran::platform::ReplaceFileContents(file, bytes)) {
      return -1;
    }
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: flush_probe FOLDER\n");
    return 2;
  }
  const std::filesystem::path file = std::filesystem::path(argv[1]) / "flush-probe.ini";
  if (!zephran::platform::ReplaceFileContents(file, "z")) {
    std::fprintf(stderr, "flush_probe: cannot write %s\n", file.c_str());
    return 1;
  }
  const double one = TimeReplacements(file, 1);
  const double eight = TimeReplacements(file, 8);
  std::filesystem::remove(file);
  if (one < 0 || eight < 0) {
    std::fprintf(stderr, "flush_probe: cannot write %s\n", file.c_str());
    return 1;
  }
  std::printf("one_replacement_ms=%.3f eight_replacements_ms=%.3f\n", one, eight);
  return 0;
}
