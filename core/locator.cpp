#include "core/locator.h"

#include <optional>

#include "core/game_layout.h"
#include "core/settings_file.h"

namespace zephran::core {

namespace {

// The installation is wherever the settings file is: beside the launcher
// first, else in its "zp" sub-folder.
std::optional<std::string> FindGameDir(platform::Platform& platform, const std::string& own_dir) {
  if (FileExists(platform, own_dir + kSettingsFile)) {
    return own_dir;
  }
  const std::string sub_dir = own_dir + GameSubFolder();
  if (FileExists(platform, sub_dir + kSettingsFile)) {
    return sub_dir;
  }
  return std::nullopt;
}

}  // namespace

void LocateInstallation(platform::Platform& platform, LauncherState& state) {
  state.GameDir = WithSeparator(platform.ProgramFolder());
  state.OwnDir = WithSeparator(platform.ProgramFolder());

  const std::optional<std::string> game_dir = FindGameDir(platform, state.GameDir);
  if (!game_dir) {
    platform.ShowMessage("Error : this program isn't in the Zephran directory", "Bad directory !");
    state.BadDir = kTrue;
    return;
  }
  state.GameDir = *game_dir;

  // Settings copied from a CD arrive read-only; the launch must be able to
  // write them.
  platform.SetNormalAttributes(state.GameDir + kSettingsFileUpper);
}

}  // namespace zephran::core
