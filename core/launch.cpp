#include "core/launch.h"

#include <optional>
#include <string>
#include <vector>

#include "core/display_modes.h"
#include "core/game_layout.h"
#include "core/numbers.h"
#include "core/settings_file.h"

namespace zephran::core {

namespace {

// Marks a launch as under way for as long as it runs, including when it ends
// in a message instead of a game.
class LaunchGuard {
 public:
  explicit LaunchGuard(LauncherState& state) : state_(state) { state_.Launching = true; }
  ~LaunchGuard() { state_.Launching = false; }
  LaunchGuard(const LaunchGuard&) = delete;
  LaunchGuard& operator=(const LaunchGuard&) = delete;

 private:
  LauncherState& state_;
};

bool InstallationFound(WindowServices& window, const LauncherState& state) {
  if (state.BadDir) {
    window.ShowMessage(
        "I think I already told you that, this pogram must be in the Zephran installation "
        "directory",
        "No, it's not going to work");
    return false;
  }
  return true;
}

bool ResolutionChosen(WindowServices& window, const LauncherState& state) {
  if (state.GameExe.empty()) {
    // Without a resolution there is neither a size to write nor a game to start.
    window.ShowMessage("Please choose a resolution first.", "No resolution");
    return false;
  }
  return true;
}

LaunchOutcome StartGame(platform::Platform& platform, WindowServices& window,
                        const LauncherState& state, const LaunchChoices& choices,
                        std::vector<std::string> arguments) {
  const platform::CommandLine command{state.GameDir + state.GameExe, std::move(arguments)};
  const std::string refusal = platform.CheckStart(command);
  if (!refusal.empty()) {
    // Known before anything is written: the settings stay as they were.
    window.ShowMessage(refusal, "The game was not started");
    return LaunchOutcome::Refused;
  }

  const platform::SaveResult saved = WriteOptions(platform, window, state, choices);
  if (!saved.saved) {
    // The game would run on settings the player did not choose.
    window.ShowMessage(
        "The settings could not be saved to " + SettingsPath(state) + ": " + saved.reason,
        "The game was not started");
    return LaunchOutcome::SaveFailed;
  }

  window.PumpEvents();
  const platform::StartResult result =
      platform.StartProgram(command, platform::WindowStyle::MinimizedWithFocus);
  if (!result.started) {
    // The settings stay written; the player can fix the game and try again.
    window.ShowMessage(result.error, "The game could not be started");
    return LaunchOutcome::StartFailed;
  }

  // The player sees the launcher go at once; it ends when the game has got
  // past the start, where Wine's failures come.
  window.HideWindow();
  const platform::StartWatch watch = platform.WatchStart(kStartWatch);
  if (watch.failed) {
    window.RestoreWindow();
    window.ShowMessage("The game did not start: " + watch.reason, "The game could not be started");
    return LaunchOutcome::StartFailed;
  }

  window.PumpEvents();
  platform.EndProgram();
  return LaunchOutcome::Started;
}

// The video size, by the same four comparisons of the screen width.
void AddVideoSize(std::vector<platform::ProfileValue>& values, const LauncherState& state,
                  bool windowed) {
  const std::optional<double> width = ParseNumber(state.ScreenW);
  for (const DisplayMode& mode : DisplayModeTable) {
    if (width != ParseNumber(mode.ScreenW)) {
      continue;
    }
    // A window is drawn one size larger than the game's own resolution.
    const std::string video_w(windowed ? mode.VideoW : std::string_view(state.ScreenW));
    const std::string video_h(windowed ? mode.VideoH : std::string_view(state.ScreenH));
    values.push_back({"Display", "VideoWidth", video_w});
    values.push_back({"Display", "VideoHeight", video_h});
  }
}

const char* OnOff(int check_box_value) {
  return check_box_value == 1 ? "1" : "0";
}

}  // namespace

platform::SaveResult WriteOptions(platform::Platform& platform, WindowServices& window,
                                  const LauncherState& state, const LaunchChoices& choices) {
  const bool windowed = choices.ModeFenet == 1;
  std::vector<platform::ProfileValue> values{
      {"Display", "ScreenWidth", state.ScreenW},
      {"Display", "ScreenHeight", state.ScreenH},
      {"Display", "FullScreen", windowed ? "0" : "1"},
  };
  AddVideoSize(values, state, windowed);
  values.push_back({"Display", "CinemaScope", OnOff(choices.ModeCinema)});
  values.push_back({"Audio", "Subtitles", OnOff(choices.ModeSousT)});
  values.push_back({"Display", "BitsPerPixel", state.ColorDepth});

  // One write: a game started on half of the player's choices would be worse
  // than one not started at all.
  window.PumpEvents();
  return platform.WriteProfileStrings(values, SettingsPath(state));
}

LaunchOutcome LaunchNewGame(platform::Platform& platform, WindowServices& window,
                            LauncherState& state, const LaunchChoices& choices) {
  if (state.Launching) {
    return LaunchOutcome::Ignored;
  }
  if (!InstallationFound(window, state) || !ResolutionChosen(window, state)) {
    return LaunchOutcome::Refused;
  }
  const LaunchGuard guard(state);
  const LauncherState snapshot = state;
  return StartGame(platform, window, snapshot, choices, {"game_nextframe"});
}

LaunchOutcome LaunchSavedGame(platform::Platform& platform, WindowServices& window,
                              LauncherState& state, const LaunchChoices& choices) {
  if (state.Launching) {
    return LaunchOutcome::Ignored;
  }
  if (!InstallationFound(window, state)) {
    return LaunchOutcome::Refused;
  }
  if (state.SlotEmpty) {
    window.ShowMessage("The game you've selected is empty.", "Caution !");
    return LaunchOutcome::Refused;
  }
  if (!ResolutionChosen(window, state)) {
    return LaunchOutcome::Refused;
  }
  const LaunchGuard guard(state);
  const LauncherState snapshot = state;
  const std::string slot = "slot_" + std::to_string(choices.slot_index + 1);
  return StartGame(platform, window, snapshot, choices, {"load_game", slot});
}

}  // namespace zephran::core
