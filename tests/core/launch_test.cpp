#include "core/launch.h"

#include <gtest/gtest.h>

#include "core/display_modes.h"
#include "core/save_slots.h"
#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::core {
namespace {

using testing::FakePlatform;
using testing::Native;

class LaunchTest : public ::testing::Test {
 protected:
  LaunchTest() {
    state.GameDir = Native("/g/");
    platform.AddFile(ini, "[Display]\r\nScreenWidth=320\r\nGamma=5\r\n[Audio]\r\nVolume=7\r\n");
    platform.AddFile(Native("/g/savegames/slot8/Last.nam"));
    for (const std::string& item : ScanSaveSlots(platform, state)) {
      (void)item;
    }
    platform.log.clear();
  }

  void Choose(const char* resolution, const char* colour, int slot_index) {
    OnResolutionChosen(state, resolution);
    OnColourChosen(state, colour);
    OnSlotChosen(state, slot_index);
    choices.slot_index = slot_index;
  }

  std::string Read(const char* section, const char* key) {
    return platform.ReadProfileString(section, key, "", 255, ini);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const std::string& entry : platform.log) {
      if (entry.starts_with("message ")) {
        messages.push_back(entry);
      }
    }
    return messages;
  }

  FakePlatform platform;
  LauncherState state;
  LaunchChoices choices;
  const std::string ini = Native("/g/zephran.ini");
};

TEST_F(LaunchTest, NewGameWritesEightKeysInOrderThenStartsAndEnds) {
  Choose("400x300", "16 bits", 0);
  choices.ModeFenet = 1;
  choices.ModeCinema = 1;

  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::Started);

  const std::vector<std::string> expected_log{
      "check " + Native("/g/ZP2.EXE") + " game_nextframe",
      "pump",
      "write [Display] ScreenWidth=400",
      "write [Display] ScreenHeight=300",
      "write [Display] FullScreen=0",
      "write [Display] VideoWidth=512",
      "write [Display] VideoHeight=384",
      "write [Display] CinemaScope=1",
      "write [Audio] Subtitles=0",
      "write [Display] BitsPerPixel=16",
      "pump",
      "start " + Native("/g/ZP2.EXE") + " game_nextframe",
      "hide",
      "watch 2000 ms",
      "pump",
      "end",
  };
  EXPECT_EQ(platform.log, expected_log);
  EXPECT_EQ(platform.files[ini],
            "[Display]\r\nScreenWidth=400\r\nGamma=5\r\nScreenHeight=300\r\nFullScreen=0\r\n"
            "VideoWidth=512\r\nVideoHeight=384\r\nCinemaScope=1\r\nBitsPerPixel=16\r\n"
            "[Audio]\r\nVolume=7\r\nSubtitles=0\r\n");
  ASSERT_EQ(platform.started.size(), 1u);
  EXPECT_EQ(platform.started[0].program, Native("/g/ZP2.EXE"));
  EXPECT_EQ(platform.started[0].arguments, std::vector<std::string>{"game_nextframe"});
  EXPECT_EQ(platform.styles[0], platform::WindowStyle::MinimizedWithFocus);
}

struct VideoCase {
  const char* resolution;
  int fenet;
  const char* full_screen;
  const char* video_w;
  const char* video_h;
  const char* exe;
};

TEST_F(LaunchTest, VideoSizeFollowsWindowMode) {
  const VideoCase cases[] = {
      {"640x480", 0, "1", "640", "480", "ZP1.EXE"}, {"640x480", 1, "0", "800", "600", "ZP1.EXE"},
      {"512x384", 0, "1", "512", "384", "ZP1.EXE"}, {"512x384", 1, "0", "640", "480", "ZP1.EXE"},
      {"400x300", 0, "1", "400", "300", "ZP2.EXE"}, {"400x300", 1, "0", "512", "384", "ZP2.EXE"},
      {"320x240", 0, "1", "320", "240", "ZP3.EXE"}, {"320x240", 1, "0", "400", "300", "ZP3.EXE"},
  };
  for (const VideoCase& c : cases) {
    SCOPED_TRACE(std::string(c.resolution) + " windowed=" + std::to_string(c.fenet));
    Choose(c.resolution, "32 bits", 0);
    choices.ModeFenet = c.fenet;
    choices.ModeSousT = 1;
    platform.started.clear();

    EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::Started);

    EXPECT_EQ(Read("Display", "FullScreen"), c.full_screen);
    EXPECT_EQ(Read("Display", "VideoWidth"), c.video_w);
    EXPECT_EQ(Read("Display", "VideoHeight"), c.video_h);
    EXPECT_EQ(Read("Display", "BitsPerPixel"), "32");
    EXPECT_EQ(Read("Audio", "Subtitles"), "1");
    EXPECT_EQ(Read("Display", "Gamma"), "5");
    ASSERT_EQ(platform.started.size(), 1u);
    EXPECT_EQ(platform.started[0].program, Native("/g/") + c.exe);
  }
}

TEST_F(LaunchTest, LoadStartsTheSelectedSlot) {
  Choose("640x480", "16 bits", 7);

  EXPECT_EQ(LaunchSavedGame(platform, platform, state, choices), LaunchOutcome::Started);

  ASSERT_EQ(platform.started.size(), 1u);
  EXPECT_EQ(platform.started[0].Text(), Native("/g/ZP1.EXE") + " load_game slot_8");
  EXPECT_TRUE(platform.ended);
}

struct RefusalCase {
  const char* name;
  bool bad_dir;
  bool slot_empty;
  bool resolution;
  bool load;
  const char* message;  // the only message expected
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

class LaunchRefusalTest : public LaunchTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(LaunchRefusalTest, RefusesWithOneMessageAndTouchesNothing) {
  const RefusalCase& c = GetParam();
  if (c.resolution) {
    OnResolutionChosen(state, "640x480");
  }
  OnSlotChosen(state, c.slot_empty ? 0 : 7);
  state.BadDir = c.bad_dir ? kTrue : kFalse;
  const std::string before = platform.files[ini];

  const LaunchOutcome outcome = c.load ? LaunchSavedGame(platform, platform, state, choices)
                                       : LaunchNewGame(platform, platform, state, choices);

  EXPECT_EQ(outcome, LaunchOutcome::Refused);
  EXPECT_EQ(platform.log, std::vector<std::string>{c.message});
  EXPECT_EQ(platform.files[ini], before);
  EXPECT_FALSE(state.Launching);
}

const char kBadDir[] =
    "message No, it's not going to work|I think I already told you that, this pogram must be in "
    "the Zephran installation directory";
const char kEmpty[] = "message Caution !|The game you've selected is empty.";
const char kNoResolution[] = "message No resolution|Please choose a resolution first.";

INSTANTIATE_TEST_SUITE_P(
    Checks, LaunchRefusalTest,
    ::testing::Values(RefusalCase{"NewGameBadDir", true, false, true, false, kBadDir},
                      RefusalCase{"LoadBadDir", true, false, true, true, kBadDir},
                      RefusalCase{"LoadBadDirBeforeEmptySlot", true, true, false, true, kBadDir},
                      RefusalCase{"LoadEmptySlot", false, true, true, true, kEmpty},
                      RefusalCase{"LoadEmptySlotBeforeResolution", false, true, false, true,
                                  kEmpty},
                      RefusalCase{"NewGameNoResolution", false, true, false, false, kNoResolution},
                      RefusalCase{"LoadNoResolution", false, false, false, true, kNoResolution}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchTest, GameThatCannotStartKeepsSettingsAndLauncher) {
  Choose("320x240", "16 bits", 0);
  platform.start_result = {false, "Cannot start /g/ZP3.EXE: no such file"};

  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::StartFailed);

  EXPECT_EQ(Read("Display", "ScreenWidth"), "320");
  EXPECT_FALSE(platform.ended);
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "message The game could not be started|Cannot start /g/ZP3.EXE: no "
                            "such file"});
  EXPECT_FALSE(state.Launching);
}

TEST_F(LaunchTest, GameTheSystemCannotRunIsRefusedBeforeAnythingIsWritten) {
  Choose("320x240", "16 bits", 0);
  const std::string before = platform.files[ini];
  platform.start_refusal = "Cannot start ZP3.EXE: it is a 32-bit Windows program";

  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::Refused);

  EXPECT_EQ(platform.log, (std::vector<std::string>{
                              "check " + Native("/g/ZP3.EXE") + " game_nextframe",
                              "message The game was not started|" + platform.start_refusal}));
  EXPECT_EQ(platform.files[ini], before);
  EXPECT_FALSE(state.Launching);
}

TEST_F(LaunchTest, GameEndingAtOnceWithAFailureBringsTheWindowBackAndSaysWhy) {
  Choose("320x240", "16 bits", 0);
  platform.start_watch = {true, "wine ended with status 1: it looks like wine32 is missing"};

  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::StartFailed);

  const std::vector<std::string> tail(platform.log.end() - 4, platform.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "hide", "watch 2000 ms", "restore",
                      "message The game could not be started|The game did not start: wine ended "
                      "with status 1: it looks like wine32 is missing"}));
  EXPECT_FALSE(platform.ended);
  EXPECT_FALSE(state.Launching);
}

TEST_F(LaunchTest, SettingsThatCannotBeSavedStopTheLaunchAndSayWhere) {
  // The file found at start-up, spelled as on disk, is the one written.
  state.SettingsFile = Native("/g/ZEPHRAN.INI");
  platform.AddFile(state.SettingsFile, "[Display]\r\nScreenWidth=512\r\n");
  platform.save_error = "No space left on device";
  Choose("640x480", "16 bits", 7);

  for (const bool load : {false, true}) {
    const LaunchOutcome outcome = load ? LaunchSavedGame(platform, platform, state, choices)
                                       : LaunchNewGame(platform, platform, state, choices);

    EXPECT_EQ(outcome, LaunchOutcome::SaveFailed);
    EXPECT_EQ(Messages().back(),
              "message The game was not started|The settings could not be "
              "saved to " +
                  Native("/g/ZEPHRAN.INI") + ": No space left on device");
    EXPECT_TRUE(platform.started.empty());
    EXPECT_FALSE(platform.ended);
    EXPECT_FALSE(state.Launching);
  }
  EXPECT_EQ(Messages().size(), 2u);

  platform.save_error.clear();
  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::Started);
  EXPECT_EQ(platform.ReadProfileString("Display", "ScreenWidth", "", 255, state.SettingsFile),
            "640");
  EXPECT_EQ(Read("Display", "ScreenWidth"), "320") << "the other spelling was written";
}

TEST_F(LaunchTest, SecondClickDuringALaunchIsIgnored) {
  Choose("640x480", "16 bits", 7);
  std::vector<LaunchOutcome> nested;
  platform.on_pump = [&] {
    nested.push_back(LaunchNewGame(platform, platform, state, choices));
    nested.push_back(LaunchSavedGame(platform, platform, state, choices));
  };

  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::Started);

  EXPECT_EQ(platform.started.size(), 1u);
  for (const LaunchOutcome outcome : nested) {
    EXPECT_EQ(outcome, LaunchOutcome::Ignored);
  }
}

TEST_F(LaunchTest, ChoicesChangedDuringTheWritesDoNotMixIntoTheFile) {
  Choose("640x480", "16 bits", 0);
  choices.ModeFenet = 1;
  platform.on_pump = [&] {
    OnResolutionChosen(state, "320x240");
    OnColourChosen(state, "32 bits");
  };

  EXPECT_EQ(LaunchNewGame(platform, platform, state, choices), LaunchOutcome::Started);

  EXPECT_EQ(Read("Display", "ScreenWidth"), "640");
  EXPECT_EQ(Read("Display", "ScreenHeight"), "480");
  EXPECT_EQ(Read("Display", "VideoWidth"), "800");
  EXPECT_EQ(Read("Display", "BitsPerPixel"), "16");
  EXPECT_EQ(platform.started[0].program, Native("/g/ZP1.EXE"));
}

}  // namespace
}  // namespace zephran::core
