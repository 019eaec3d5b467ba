#include "core/display_modes.h"

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::core {
namespace {

using testing::FakePlatform;
using testing::Native;

struct StartUpCase {
  const char* name;
  const char* file;  // settings file content
  std::optional<int> resolution_index;
  int fenet;
  int cinema;
  int sous_t;
  int colour_index;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const StartUpCase& c, std::ostream* out) {
  *out << c.name;
}

class LoadDisplaySettingsTest : public ::testing::TestWithParam<StartUpCase> {};

TEST_P(LoadDisplaySettingsTest, TurnsTheFileIntoSelections) {
  const StartUpCase& c = GetParam();
  FakePlatform platform;
  LauncherState state;
  state.GameDir = Native("/g/");
  platform.AddFile(Native("/g/zephran.ini"), c.file);

  const DisplaySelections selections = LoadDisplaySettings(platform, state);

  EXPECT_EQ(selections.resolution_index, c.resolution_index);
  EXPECT_EQ(selections.ModeFenet, c.fenet);
  EXPECT_EQ(selections.ModeCinema, c.cinema);
  EXPECT_EQ(selections.ModeSousT, c.sous_t);
  EXPECT_EQ(selections.colour_index, c.colour_index);
  EXPECT_EQ(state.ColorDepth, c.colour_index == 1 ? "32" : "16");
  // Only the handlers that the window runs fill in the resolution.
  EXPECT_EQ(state.ScreenW, "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadDisplaySettingsTest,
    ::testing::Values(
        StartUpCase{"Empty", "", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"Typical",
                    "[Display]\r\nScreenWidth=512\r\nFullScreen=1\r\nCinemaScope=1\r\n"
                    "BitsPerPixel=32\r\n[Audio]\r\nSubtitles=1\r\n",
                    1, 0, 1, 1, 1},
        StartUpCase{"EveryWidth640", "[Display]\nScreenWidth=640\n", 0, 1, 0, 0, 0},
        StartUpCase{"EveryWidth400", "[Display]\nScreenWidth=400\n", 2, 1, 0, 0, 0},
        StartUpCase{"EveryWidth320", "[Display]\nScreenWidth=320\n", 3, 1, 0, 0, 0},
        StartUpCase{"UnknownWidth", "[Display]\nScreenWidth=800\n", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"SameNumberOtherText", "[Display]\nScreenWidth=640.0\n", std::nullopt, 1, 0, 0,
                    0},
        StartUpCase{"FullScreenZero", "[Display]\nFullScreen=0\n", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"FullScreenTwo", "[Display]\nFullScreen=2\n", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"NumbersAsTyped",
                    "[Display]\nFullScreen= 1.0 \nCinemaScope=+1\n[Audio]\nSubtitles=1e0\n",
                    std::nullopt, 0, 1, 1, 0},
        StartUpCase{"NotNumbers",
                    "[Display]\nFullScreen=yes\nCinemaScope=on\n[Audio]\nSubtitles=true\n",
                    std::nullopt, 1, 0, 0, 0},
        StartUpCase{"SubtitlesOnlyInAudio", "[Display]\nSubtitles=1\n", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"Depth24", "[Display]\nBitsPerPixel=24\n", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"Depth32Text", "[Display]\nBitsPerPixel=32.0\n", std::nullopt, 1, 0, 0, 0},
        StartUpCase{"KeysAnyCase", "[DISPLAY]\nscreenwidth=320\nbitsperpixel=32\n", 3, 1, 0, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadDisplaySettingsFileTest, ReadsTheFoundSettingsFileOnce) {
  FakePlatform platform;
  LauncherState state;
  state.GameDir = Native("/g/zp/");
  platform.AddFile(Native("/g/zp/zephran.ini"), "[Display]\nScreenWidth=320\n");
  platform.AddFile(Native("/g/zephran.ini"), "[Display]\nScreenWidth=640\n");
  EXPECT_EQ(LoadDisplaySettings(platform, state).resolution_index, 3);

  // The name the locator found wins over the usual spelling.
  platform.AddFile(Native("/g/zp/ZEPHRAN.INI"), "[Display]\nScreenWidth=512\n");
  state.SettingsFile = Native("/g/zp/ZEPHRAN.INI");
  platform.file_readings = 0;
  EXPECT_EQ(LoadDisplaySettings(platform, state).resolution_index, 1);
  EXPECT_EQ(platform.file_readings, 1);
}

TEST(ResolutionChosenTest, EachItemPicksItsRow) {
  struct Case {
    const char* item;
    const char* w;
    const char* h;
    const char* exe;
  };
  const Case cases[] = {
      {"640x480", "640", "480", "ZP1.EXE"},
      {"512x384", "512", "384", "ZP1.EXE"},
      {"400x300", "400", "300", "ZP2.EXE"},
      {"320x240", "320", "240", "ZP3.EXE"},
  };
  LauncherState state;
  for (const Case& c : cases) {
    OnResolutionChosen(state, c.item);
    EXPECT_EQ(state.ScreenW, c.w);
    EXPECT_EQ(state.ScreenH, c.h);
    EXPECT_EQ(state.GameExe, c.exe);
  }
}

TEST(ResolutionChosenTest, UnknownTextChangesNothing) {
  LauncherState state;
  OnResolutionChosen(state, "400x300");
  for (const char* text : {"", "640X480", "640x480 ", "800x600"}) {
    OnResolutionChosen(state, text);
    EXPECT_EQ(state.GameExe, "ZP2.EXE") << text;
    EXPECT_EQ(state.ScreenW, "400") << text;
  }
}

TEST(ColourChosenTest, OnlyTheTwoItemsCount) {
  LauncherState state;
  OnColourChosen(state, "32 bits");
  EXPECT_EQ(state.ColorDepth, "32");
  OnColourChosen(state, "24 bits");
  EXPECT_EQ(state.ColorDepth, "32");
  OnColourChosen(state, "16 bits");
  EXPECT_EQ(state.ColorDepth, "16");
}

}  // namespace
}  // namespace zephran::core
