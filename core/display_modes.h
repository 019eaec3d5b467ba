#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "core/launcher_state.h"
#include "platform/platform.h"

namespace zephran::core {

// One resolution the game runs at. Each resolution class has its own
// executable; in a window the game draws at the next larger size.
struct DisplayMode {
  std::string_view item;  // text in the resolution list
  std::string_view ScreenW;
  std::string_view ScreenH;
  std::string_view GameExe;
  std::string_view VideoW;  // window-mode video size
  std::string_view VideoH;
};

// In the order of the resolution list.
inline constexpr std::array<DisplayMode, 4> DisplayModeTable{{
    {"640x480", "640", "480", "ZP1.EXE", "800", "600"},
    {"512x384", "512", "384", "ZP1.EXE", "640", "480"},
    {"400x300", "400", "300", "ZP2.EXE", "512", "384"},
    {"320x240", "320", "240", "ZP3.EXE", "400", "300"},
}};

struct ColourDepthChoice {
  std::string_view item;  // text in the colour list
  std::string_view ColorDepth;
};

// In the order of the colour list.
inline constexpr std::array<ColourDepthChoice, 2> ColourDepthTable{{
    {"16 bits", "16"},
    {"32 bits", "32"},
}};

// What the settings file says the controls should show at start-up. The
// window applies it in this order: resolution, the three boxes, colour; each
// list selection runs that list's handler as a player's choice would.
struct DisplaySelections {
  std::optional<int> resolution_index;  // nullopt: leave the list unselected
  int ModeFenet = 0;                    // check-box values, 0 or 1
  int ModeCinema = 0;
  int ModeSousT = 0;
  int colour_index = 0;
};

// Reads the current display options from the game's settings file.
DisplaySelections LoadDisplaySettings(platform::Platform& platform, LauncherState& state);

// The selection handlers of the resolution and colour lists, given the
// chosen item's text. Text that names no item changes nothing.
void OnResolutionChosen(LauncherState& state, std::string_view text);
void OnColourChosen(LauncherState& state, std::string_view text);

}  // namespace zephran::core
