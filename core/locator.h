#pragma once

#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"

namespace zephran::core {

// Finds the game from the launcher's own folder: the folder itself, or its
// "zp" sub-folder. Fills GameDir, OwnDir and BadDir, tells the player when
// the game is in neither place, and makes the settings file writable.
void LocateInstallation(platform::Platform& platform, WindowServices& window, LauncherState& state);

}  // namespace zephran::core
