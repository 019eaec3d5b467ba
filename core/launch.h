#pragma once

#include <chrono>
#include <string>

#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"

namespace zephran::core {

// How long a started program is watched for a failure before the launcher
// lets go of it. Wine fails within about half a second of being started on
// a program it cannot run; a prefix being set up for the first time takes
// longer, and a failure after it goes unwatched, as without the watch.
inline constexpr std::chrono::milliseconds kStartWatch{2000};

// The window's choices at the moment of the click, as plain values. A launch
// works from this copy only, so a selection changed while it runs cannot mix
// two states in the settings file.
struct LaunchChoices {
  int ModeFenet = 0;  // check-box values: only 1 counts as on
  int ModeCinema = 0;
  int ModeSousT = 0;
  int slot_index = -1;  // selected position in the slot list
};

enum class LaunchOutcome {
  Ignored,      // another launch is already under way
  Refused,      // a check failed; the player was told, nothing was written
  SaveFailed,   // the settings could not be saved; the player was told, nothing was started
  StartFailed,  // settings written, but the game could not be started or ended at once
                // with a failure; the player was told, the window is back
  Started,      // the game runs and the launcher has been ended
};

// "New game": checks, writes the options, starts the game, ends the launcher.
LaunchOutcome LaunchNewGame(platform::Platform& platform, WindowServices& window,
                            LauncherState& state, const LaunchChoices& choices);

// "Load :": the same for the selected save slot, which must hold a save.
LaunchOutcome LaunchSavedGame(platform::Platform& platform, WindowServices& window,
                              LauncherState& state, const LaunchChoices& choices);

// Writes the eight display and audio options into the game's settings file,
// all of them or none, after letting window events through.
platform::SaveResult WriteOptions(platform::Platform& platform, WindowServices& window,
                                  const LauncherState& state, const LaunchChoices& choices);

}  // namespace zephran::core
