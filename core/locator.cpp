#include "core/locator.h"

#include <optional>
#include <string>
#include <utility>

#include "core/game_layout.h"

namespace zephran::core {

namespace {

// The settings file's name as `folder` spells it, or empty text when there is
// none: the probe of FileExists, keeping the name it finds.
std::string SettingsName(platform::Platform& platform, const std::string& folder) {
  return platform.FirstDirEntry(folder + kSettingsFile, platform::kAttrAny);
}

struct Installation {
  std::string folder;
  std::string settings_name;
};

// The installation is wherever the settings file is: beside the launcher
// first, else in its "zp" sub-folder.
std::optional<Installation> FindInstallation(platform::Platform& platform,
                                             const std::string& own_dir) {
  for (const std::string& folder : {own_dir, own_dir + GameSubFolder()}) {
    // A save killed while the file was moved aside must not make the
    // installation look missing.
    platform.FinishInterruptedSave(folder + kSettingsFile);
    if (std::string name = SettingsName(platform, folder); !name.empty()) {
      return Installation{folder, std::move(name)};
    }
  }
  return std::nullopt;
}

}  // namespace

InstallationSearch SearchInstallation(platform::Platform& platform) {
  const std::string own_dir = WithSeparator(platform.ProgramFolder());
  // The two folders FindInstallation tries, in its order.
  return {{own_dir, own_dir + GameSubFolder()}, FindInstallation(platform, own_dir).has_value()};
}

void LocateInstallation(platform::Platform& platform, WindowServices& window,
                        LauncherState& state) {
  state.GameDir = WithSeparator(platform.ProgramFolder());
  state.OwnDir = WithSeparator(platform.ProgramFolder());

  const std::optional<Installation> found = FindInstallation(platform, state.GameDir);
  if (!found) {
    window.ShowMessage("Error : this program isn't in the Zephran directory", "Bad directory !");
    state.BadDir = kTrue;
    return;
  }
  state.GameDir = found->folder;
  state.SettingsFile = found->folder + found->settings_name;

  // Settings copied from a CD arrive read-only; the launch must be able to
  // write them.
  platform.SetNormalAttributes(state.SettingsFile);
}

}  // namespace zephran::core
