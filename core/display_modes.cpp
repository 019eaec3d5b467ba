#include "core/display_modes.h"

#include "core/game_layout.h"
#include "core/numbers.h"
#include "core/settings_file.h"

namespace zephran::core {

namespace {

// The file stores 1 for "on"; anything else, including text that is no
// number at all, means off.
bool IsOne(std::string_view text) {
  return ParseNumber(text) == 1.0;
}

}  // namespace

DisplaySelections LoadDisplaySettings(platform::Platform& platform, LauncherState& state) {
  const std::string ini = state.GameDir + kSettingsFile;
  DisplaySelections selections;

  state.IniScratch = LireINI(platform, "Display", "ScreenWidth", ini);
  for (std::size_t row = 0; row < DisplayModeTable.size(); ++row) {
    if (state.IniScratch == DisplayModeTable[row].ScreenW) {
      selections.resolution_index = static_cast<int>(row);
    }
  }

  // The file says "full screen", the box says "windowed": inverted on purpose.
  state.IniScratch = LireINI(platform, "Display", "FullScreen", ini);
  selections.ModeFenet = IsOne(state.IniScratch) ? 0 : 1;

  state.IniScratch = LireINI(platform, "Display", "CinemaScope", ini);
  selections.ModeCinema = IsOne(state.IniScratch) ? 1 : 0;

  state.IniScratch = LireINI(platform, "Audio", "Subtitles", ini);
  selections.ModeSousT = IsOne(state.IniScratch) ? 1 : 0;

  state.IniScratch = LireINI(platform, "Display", "BitsPerPixel", ini);
  selections.colour_index = state.IniScratch == "32" ? 1 : 0;
  state.ColorDepth = ColourDepthTable[selections.colour_index].ColorDepth;

  return selections;
}

void OnResolutionChosen(LauncherState& state, std::string_view text) {
  for (const DisplayMode& mode : DisplayModeTable) {
    if (text == mode.item) {
      state.ScreenW = mode.ScreenW;
      state.ScreenH = mode.ScreenH;
      state.GameExe = mode.GameExe;
      return;
    }
  }
}

void OnColourChosen(LauncherState& state, std::string_view text) {
  for (const ColourDepthChoice& choice : ColourDepthTable) {
    if (text == choice.item) {
      state.ColorDepth = choice.ColorDepth;
      return;
    }
  }
}

}  // namespace zephran::core
