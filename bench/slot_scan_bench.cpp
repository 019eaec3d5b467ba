// The save-slot scan at start-up on a real installation whose eight slot
// folders are crowded: each slot holds `files` entries, either all of them
// save names (every one is a candidate for "the first") or one save name among
// other files (the listing is walked, but little is compared).
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "bench/bench_files.h"
#include "core/launcher_state.h"
#include "core/save_slots.h"
#include "platform/native_platform.h"

namespace zephran::bench {
namespace {

namespace fs = std::filesystem;

enum class SlotContents { kAllSaveNames, kOneSaveName };

void Touch(const fs::path& path) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    throw std::runtime_error("cannot create " + path.string());
  }
  ::close(descriptor);
}

// Folders spelled as a copy from a Windows disc leaves them, so the scan's
// lookups without regard to case are part of what is measured.
std::unique_ptr<TempFolder> MakeInstallation(int files, SlotContents contents) {
  auto root = std::make_unique<TempFolder>("zephran-bench-slots");
  WriteFile(root->Path() / "zephran.ini", "[Display]\r\nScreenWidth=400\r\n");
  for (int slot = 1; slot <= core::kSlotCount; ++slot) {
    const fs::path folder = root->Path() / "SaveGames" / ("Slot" + std::to_string(slot));
    fs::create_directories(folder);
    for (int file = 0; file < files; ++file) {
      const bool save_name = contents == SlotContents::kAllSaveNames || file == files / 2;
      // Mixed case, so the order without regard to case differs from the
      // order by bytes.
      const std::string stem = (file % 2 == 0 ? "Save " : "save ") + std::to_string(files - file);
      Touch(folder / (stem + (save_name ? ".nam" : ".sav")));
    }
  }
  return root;
}

// Creating 80 000 files takes seconds, so each installation is made once and
// kept for every run of the benchmark that uses it.
const fs::path& Installation(int files, SlotContents contents) {
  static std::map<std::pair<int, SlotContents>, std::unique_ptr<TempFolder>> made;
  std::unique_ptr<TempFolder>& slot = made[{files, contents}];
  if (!slot) {
    slot = MakeInstallation(files, contents);
  }
  return slot->Path();
}

void BM_ScanSaveSlots(benchmark::State& state, SlotContents contents) {
  const int files = static_cast<int>(state.range(0));
  platform::NativePlatform platform;
  core::LauncherState launcher;
  launcher.GameDir = Installation(files, contents).string() + "/";
  for (auto _ : state) {
    benchmark::DoNotOptimize(core::ScanSaveSlots(platform, launcher));
  }
  if (!launcher.SlotHasSave[0] || !launcher.SlotHasSave[7]) {
    state.SkipWithError("the saves were not found");
  }
  state.SetComplexityN(files);
  state.SetItemsProcessed(state.iterations() * files * core::kSlotCount);
}

void FilesPerSlot(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("files")
      ->RangeMultiplier(10)
      ->Range(10, 10000)
      ->Complexity(benchmark::oN)
      ->Unit(benchmark::kMicrosecond);
}

// The floor under the scan: only reading the eight listings, names and all,
// with nothing compared or looked up.
void BM_ListSlotFolders(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  const fs::path& root = Installation(files, SlotContents::kAllSaveNames);
  std::size_t seen = 0;
  for (auto _ : state) {
    for (int slot = 1; slot <= core::kSlotCount; ++slot) {
      const std::string folder = (root / "SaveGames" / ("Slot" + std::to_string(slot))).string();
      DIR* listing = ::opendir(folder.c_str());
      if (listing == nullptr) {
        state.SkipWithError("cannot list a slot folder");
        return;
      }
      while (const dirent* entry = ::readdir(listing)) {
        benchmark::DoNotOptimize(entry->d_name);
        ++seen;
      }
      ::closedir(listing);
    }
  }
  benchmark::DoNotOptimize(seen);
  state.SetComplexityN(files);
  state.SetItemsProcessed(state.iterations() * files * core::kSlotCount);
}

BENCHMARK(BM_ListSlotFolders)->Apply(FilesPerSlot);
BENCHMARK_CAPTURE(BM_ScanSaveSlots, all_save_names, SlotContents::kAllSaveNames)
    ->Apply(FilesPerSlot);
BENCHMARK_CAPTURE(BM_ScanSaveSlots, one_save_name, SlotContents::kOneSaveName)->Apply(FilesPerSlot);

}  // namespace
}  // namespace zephran::bench
