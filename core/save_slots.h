#pragma once

#include <string>
#include <vector>

#include "core/launcher_state.h"
#include "platform/platform.h"

namespace zephran::core {

inline constexpr int kSlotCount = 8;

// Lists the eight save slots in slot order, each as "n - name" for a slot
// holding a save or "n ----------" for an empty one, and records which hold a
// save. The window appends the items and then selects the first, which runs
// OnSlotChosen.
std::vector<std::string> ScanSaveSlots(platform::Platform& platform, LauncherState& state);

// The slot list's selection handler, given the selected position (-1 when
// nothing is selected).
void OnSlotChosen(LauncherState& state, int selected_index);

}  // namespace zephran::core
