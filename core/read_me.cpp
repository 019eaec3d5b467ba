#include "core/read_me.h"

#include <chrono>

#include "core/game_layout.h"
#include "core/settings_file.h"

namespace zephran::core {

namespace {

// xdg-open that finds no viewer fails within a tenth of a second even on a
// loaded machine; one that shows the file in a viewer it waits for holds
// the window this long, so the watch is shorter than a game's.
constexpr std::chrono::milliseconds kReadMeWatch{1000};

}  // namespace

void OpenReadMe(platform::Platform& platform, WindowServices& window, const LauncherState& state) {
  window.PumpEvents();
  const std::string file = state.OwnDir + kReadMeFile;
  if (!FileExists(platform, file)) {
    window.ShowMessage("There is no read-me at " + file + ".", "Read-me.txt");
    return;
  }
  const platform::StartResult result =
      platform.StartProgram(platform.TextViewerCommand(file), platform::WindowStyle::Normal);
  if (!result.started) {
    window.ShowMessage("The read-me at " + file + " could not be opened.\n" + result.error,
                       "Read-me.txt");
    return;
  }
  // An opener that finds no viewer says so only by its exit status.
  const platform::StartWatch watch = platform.WatchStart(kReadMeWatch);
  if (watch.failed) {
    window.ShowMessage("The read-me at " + file + " could not be opened: " + watch.reason,
                       "Read-me.txt");
  }
}

}  // namespace zephran::core
