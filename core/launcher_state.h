#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zephran::core {

// The launcher's yes/no values are 16-bit integers: -1 for true, 0 for false.
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

constexpr Flag ToFlag(bool value) {
  return value ? kTrue : kFalse;
}

// Everything the launcher remembers between two window events. The window
// owns the one instance; start-up fills it, selections change it, a launch
// reads it.
struct LauncherState {
  // Installation folder, ending with the separator: holds zephran.ini and the
  // game executables.
  std::string GameDir;
  // The settings file found at start-up, named as the folder spells it. The
  // attribute reset and a launch's write name this one file, so that
  // "zephran.ini" and "ZEPHRAN.INI" side by side cannot split them.
  std::string SettingsFile;
  // Chosen resolution and its executable; all three empty until one is chosen.
  std::string ScreenW;
  std::string ScreenH;
  std::string GameExe;
  // The value last read from the settings file at start-up.
  std::string IniScratch;
  // Slot number during the start-up scan; 9 once it is over.
  std::int16_t SlotCounter = 0;
  // The selected save slot holds no saved game.
  Flag SlotEmpty = kFalse;
  // 1-based position of the first "." in the scanned save name, 0 for none.
  std::int16_t DotPos = 0;
  // The installation was not found at start-up; stays set for the whole run.
  Flag BadDir = kFalse;
  // The launcher's own folder, ending with the separator: holds the read-me.
  std::string OwnDir;
  // Chosen colour depth, "16" or "32"; empty until start-up sets it.
  std::string ColorDepth;
  // Which of the eight slots held a saved game when they were scanned, by
  // list position. The selected slot's emptiness comes from here, not from
  // how its list item happens to end, so a save named "Dash-" stays loadable.
  std::array<bool, 8> SlotHasSave{};
  // A launch is under way: its event pumps let clicks through, and a second
  // click must not start a second game.
  bool Launching = false;

  bool operator==(const LauncherState&) const = default;
};

}  // namespace zephran::core
