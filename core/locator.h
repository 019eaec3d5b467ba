#pragma once

#include <string>
#include <vector>

#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"

namespace zephran::core {

// Finds the game from the launcher's own folder: the folder itself, or its
// "zp" sub-folder. Fills GameDir, OwnDir and BadDir, tells the player when
// the game is in neither place, and makes the settings file writable.
void LocateInstallation(platform::Platform& platform, WindowServices& window, LauncherState& state);

// Where start-up looks for the game's settings file, and whether it is there,
// without telling the player: for explaining a failed search beyond what the
// message box says.
struct InstallationSearch {
  // Each ending with the separator, in the order searched.
  std::vector<std::string> folders;
  bool found = false;
};
InstallationSearch SearchInstallation(platform::Platform& platform);

}  // namespace zephran::core
