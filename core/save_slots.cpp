#include "core/save_slots.h"

#include "core/game_layout.h"
#include "core/settings_file.h"

namespace zephran::core {

namespace {

std::string SlotFolder(const LauncherState& state) {
  return state.GameDir + WithSeparator("savegames") +
         WithSeparator("slot" + std::to_string(state.SlotCounter));
}

// 1-based position of the first ".", 0 when there is none.
std::int16_t FirstDotPosition(const std::string& name) {
  const std::size_t dot = name.find('.');
  return dot == std::string::npos ? 0 : static_cast<std::int16_t>(dot + 1);
}

}  // namespace

std::vector<std::string> ScanSaveSlots(platform::Platform& platform, LauncherState& state) {
  std::vector<std::string> items;
  for (state.SlotCounter = 1; state.SlotCounter <= kSlotCount; ++state.SlotCounter) {
    const std::string number = std::to_string(state.SlotCounter);
    const std::string folder = SlotFolder(state);
    std::string save_name;
    if (FileExists(platform, folder)) {
      // The game names a save by a file "<name>.nam" in the slot folder.
      save_name = platform.FirstDirEntry(folder + "*.nam", 0);
    }
    state.DotPos = FirstDotPosition(save_name);
    // A folder without a save-name file holds nothing the game can load.
    const bool has_save = state.DotPos > 0;
    state.SlotHasSave[state.SlotCounter - 1] = has_save;
    items.push_back(has_save ? number + " - " + save_name.substr(0, state.DotPos - 1)
                             : number + " ----------");
  }
  return items;
}

void OnSlotChosen(LauncherState& state, int selected_index) {
  const bool in_range = selected_index >= 0 && selected_index < kSlotCount;
  state.SlotEmpty = ToFlag(!in_range || !state.SlotHasSave[selected_index]);
}

}  // namespace zephran::core
