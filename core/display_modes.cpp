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
  // The file is read once; each value then passes through the scratch text
  // in turn.
  const std::vector<std::string> values = LireINIs(platform,
                                                   {{"Display", "ScreenWidth"},
                                                    {"Display", "FullScreen"},
                                                    {"Display", "CinemaScope"},
                                                    {"Audio", "Subtitles"},
                                                    {"Display", "BitsPerPixel"}},
                                                   SettingsPath(state));
  DisplaySelections selections;

  state.IniScratch = values[0];
  for (std::size_t row = 0; row < DisplayModeTable.size(); ++row) {
    if (state.IniScratch == DisplayModeTable[row].ScreenW) {
      selections.resolution_index = static_cast<int>(row);
    }
  }

  // The file says "full screen", the box says "windowed": inverted on purpose.
  state.IniScratch = values[1];
  selections.ModeFenet = IsOne(state.IniScratch) ? 0 : 1;

  state.IniScratch = values[2];
  selections.ModeCinema = IsOne(state.IniScratch) ? 1 : 0;

  state.IniScratch = values[3];
  selections.ModeSousT = IsOne(state.IniScratch) ? 1 : 0;

  state.IniScratch = values[4];
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
      // Made whole then moved in: assigning the view in place trips a false
      // -Wrestrict of GCC 12 at -O3.
      state.ColorDepth = std::string(choice.ColorDepth);
      return;
    }
  }
}

}  // namespace zephran::core
