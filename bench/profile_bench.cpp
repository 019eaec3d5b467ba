// The profile engine on settings files from 1 KB to 10 MB: the text-only
// functions, and the whole platform path with the file read from and
// atomically replaced on disk. The key looked up or written is the last one
// in the file, the most expensive place for it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/bench_files.h"
#include "platform/native_platform.h"
#include "platform/profile_file.h"

namespace zephran::bench {
namespace {

void Sizes(benchmark::internal::Benchmark* benchmark, std::int64_t largest) {
  benchmark->RangeMultiplier(4)
      ->Range(1 << 10, largest)
      ->Complexity(benchmark::oN)
      ->Unit(benchmark::kMicrosecond);
}

// The engine on text of any size.
void TextSizes(benchmark::internal::Benchmark* benchmark) {
  Sizes(benchmark, 10 << 20);
}

// Files up to the largest settings file the launcher reads or writes (1 MiB).
void FileSizes(benchmark::internal::Benchmark* benchmark) {
  Sizes(benchmark, 1 << 20);
}

std::size_t SizeOf(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

void Account(benchmark::State& state) {
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_FindProfileValue(benchmark::State& state) {
  const std::string content = MakeSettings(SizeOf(state));
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::FindProfileValue(content, "Audio", "Subtitles"));
  }
  if (platform::FindProfileValue(content, "Audio", "Subtitles") != "1") {
    state.SkipWithError("the key was not found");
  }
  Account(state);
}
BENCHMARK(BM_FindProfileValue)->Apply(TextSizes);

void BM_SetProfileValue(benchmark::State& state) {
  const std::string content = MakeSettings(SizeOf(state));
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::SetProfileValue(content, "Audio", "Subtitles", "0"));
  }
  Account(state);
}
BENCHMARK(BM_SetProfileValue)->Apply(TextSizes);

void BM_ReadProfileString(benchmark::State& state) {
  const TempFolder folder("zephran-bench-read");
  // Spelled as the launcher spells it while the file keeps its own name, as
  // after a copy from a Windows disc.
  platform::NativePlatform platform;
  const std::string file = (folder.Path() / "ZEPHRAN.INI").string();
  WriteFile(folder.Path() / "zephran.ini", MakeSettings(SizeOf(state)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform.ReadProfileString("Audio", "Subtitles", "", 255, file));
  }
  if (platform.ReadProfileString("Audio", "Subtitles", "", 255, file) != "1") {
    state.SkipWithError("the key was not found");
  }
  Account(state);
}
BENCHMARK(BM_ReadProfileString)->Apply(FileSizes);

// Every write reaches the disk (fsync of the file and of its folder), so the
// time has a fixed part that depends on the disk more than on the size.
void BM_WriteProfileString(benchmark::State& state) {
  const TempFolder folder("zephran-bench-write");
  const std::string original = MakeSettings(SizeOf(state));
  WriteFile(folder.Path() / "zephran.ini", original);
  platform::NativePlatform platform;
  const std::string file = (folder.Path() / "ZEPHRAN.INI").string();
  std::uint64_t round = 0;
  const char* value = "1";
  for (auto _ : state) {
    // A different value each time, as a real change would be.
    value = (++round % 2) != 0 ? "0" : "1";
    if (!platform.WriteProfileString("Audio", "Subtitles", value, file)) {
      state.SkipWithError("the write failed");
      break;
    }
  }
  // Every byte but the value must have come through the read and the
  // replacement unchanged.
  if (ReadFile(folder.Path() / "zephran.ini") !=
      platform::SetProfileValue(original, "Audio", "Subtitles", value)) {
    state.SkipWithError("the file does not hold what was written");
  }
  Account(state);
}
BENCHMARK(BM_WriteProfileString)->Apply(FileSizes);

}  // namespace
}  // namespace zephran::bench
