// Start-up on installations that no game would leave behind: settings that
// are not text, lines and files of absurd size, odd line ends, save folders
// that are files, loops or closed to us, names that are not UTF-8 or as long
// as the file system allows. The real file services run on real folders;
// only what would reach the player is recorded. Start-up must always
// complete and show whatever can still be read.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/display_modes.h"
#include "core/launch.h"
#include "core/locator.h"
#include "core/save_slots.h"
#include "platform/native_platform.h"
#include "tests/platform/posix_temp_folder.h"
#include "tests/platform/recording_platform.h"
#include "tests/tools/child_process.h"

namespace zephran::core {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using test_support::RecordingPlatform;

// What the window would show after start-up.
struct Shown {
  bool located = false;
  DisplaySelections selections;
  std::vector<std::string> slots;
  std::vector<std::string> messages;
  bool started_or_ended = false;
};

Shown StartUp(const fs::path& program_folder) {
  RecordingPlatform platform(program_folder.string());
  LauncherState state;
  Shown shown;
  LocateInstallation(platform, platform, state);
  shown.located = state.BadDir == kFalse;
  if (shown.located) {
    shown.selections = LoadDisplaySettings(platform, state);
    shown.slots = ScanSaveSlots(platform, state);
  }
  shown.messages = platform.messages;
  shown.started_or_ended = !platform.started.empty() || platform.ended;
  return shown;
}

std::vector<std::string> SlotItems(const std::map<int, std::string>& saves) {
  std::vector<std::string> items;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const auto save = saves.find(slot);
    items.push_back(std::to_string(slot) +
                    (save == saves.end() ? " ----------" : " - " + save->second));
  }
  return items;
}

class HostileInstallationTest : public test_support::TempFolderTest {};

TEST_F(HostileInstallationTest, OneSettingsFileIsResetReadAndWritten) {
  // Two spellings side by side, as a copy from a case-blind system leaves
  // them, both read-only; and a link out of the installation.
  Write("zephran.ini", "[Display]\r\nScreenWidth=320\r\n", 0444);
  Write("ZEPHRAN.INI", "[Display]\r\nScreenWidth=512\r\n", 0444);
  Write("outside/private.ini", "[Display]\r\n", 0400);
  fs::create_directory(root_ / "linked");
  fs::create_symlink("../outside/private.ini", root_ / "linked/zephran.ini");

  RecordingPlatform platform(root_.string());
  LauncherState state;
  LocateInstallation(platform, platform, state);
  OnResolutionChosen(state, "640x480");
  state.ColorDepth = "32";
  const platform::SaveResult saved = WriteOptions(platform, platform, state, LaunchChoices{});

  EXPECT_EQ(state.SettingsFile, (root_ / "zephran.ini").string());
  EXPECT_TRUE(saved.saved) << saved.reason;
  EXPECT_EQ(platform.ReadProfileString("Display", "ScreenWidth", "", 255, state.SettingsFile),
            "640");
  EXPECT_EQ(fs::status(root_ / "ZEPHRAN.INI").permissions(), fs::perms(0444));
  EXPECT_EQ(ReadFile(root_ / "ZEPHRAN.INI"), "[Display]\r\nScreenWidth=512\r\n");

  RecordingPlatform linked(root_.string() + "/linked");
  LocateInstallation(linked, linked, state);
  EXPECT_EQ(fs::status(root_ / "outside/private.ini").permissions(), fs::perms(0400));
}

// --- settings files ---------------------------------------------------------

struct SettingsCase {
  const char* name;
  std::function<std::string()> content;
  std::optional<int> resolution_index;
  int windowed;
  int subtitles;
  int colour_index;
};

void PrintTo(const SettingsCase& c, std::ostream* out) {
  *out << c.name;
}

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(7);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

std::string ManySections() {
  std::string text;
  for (int section = 0; section < 30'000; ++section) {
    text += "[Section" + std::to_string(section) + "]\r\nKey=" + std::to_string(section) + "\r\n";
  }
  return text + "[Display]\r\nScreenWidth=320\r\nFullScreen=1\r\n[Audio]\r\nSubtitles=1\r\n";
}

class HostileSettingsTest : public HostileInstallationTest,
                            public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(HostileSettingsTest, StartUpCompletesAndShowsWhatCanBeRead) {
  const SettingsCase& c = GetParam();
  Write("zephran.ini", c.content());
  Write("savegames/slot4/Kept.nam", "");

  const Shown shown = StartUp(root_);

  EXPECT_TRUE(shown.located);
  EXPECT_EQ(shown.messages, std::vector<std::string>{});
  EXPECT_FALSE(shown.started_or_ended);
  EXPECT_EQ(shown.selections.resolution_index, c.resolution_index);
  EXPECT_EQ(shown.selections.ModeFenet, c.windowed);
  EXPECT_EQ(shown.selections.ModeSousT, c.subtitles);
  EXPECT_EQ(shown.selections.colour_index, c.colour_index);
  EXPECT_EQ(shown.slots, SlotItems({{4, "Kept"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileSettingsTest,
    ::testing::Values(
        SettingsCase{"BinaryGarbage", [] { return RandomBytes(64 * 1024); }, std::nullopt, 1, 0, 0},
        // A NUL ends the name or value it sits in, as it does for the game:
        // "FullScreen=1\0" reads as full screen.
        SettingsCase{"NulBytes",
                     [] {
                       return "\0\0[Nul]\r\n[Display]\r\nJunk=\0\0\0\r\n"
                              "ScreenWidth=512\r\nFullScreen=1\0\r\n"
                              "BitsPerPixel=32\r\n"s;
                     },
                     1, 0, 0, 1},
        // Larger than a settings file may be (1 MiB): not read, the defaults shown.
        SettingsCase{"MegabyteLines",
                     [] {
                       return "[Display]\r\nScreenWidth=" + std::string(1 << 20, '6') +
                              "\r\nJunk=" + std::string(1 << 20, 'x') +
                              "\r\nFullScreen=1\r\nBitsPerPixel=32\r\n";
                     },
                     std::nullopt, 1, 0, 0},
        SettingsCase{"ThirtyThousandSections", ManySections, 3, 0, 1, 0},
        SettingsCase{"CarriageReturnsOnly",
                     [] {
                       return std::string(
                           "[Display]\rScreenWidth=400\rFullScreen=1\rBitsPerPixel=32\r"
                           "[Audio]\rSubtitles=1\r");
                     },
                     2, 0, 1, 1},
        SettingsCase{"ByteOrderMark",
                     [] {
                       return std::string(
                           "\xEF\xBB\xBF[Display]\r\nScreenWidth=512\r\n"
                           "FullScreen=1\r\n");
                     },
                     1, 0, 0, 0},
        SettingsCase{"NoFinalLineEnd",
                     [] { return std::string("[Display]\r\nScreenWidth=640\r\nBitsPerPixel=32"); },
                     0, 1, 0, 1},
        SettingsCase{"Empty", [] { return std::string(); }, std::nullopt, 1, 0, 0}));

// --- the folders around the saves --------------------------------------------

struct FolderCase {
  const char* name;
  std::function<void(const fs::path& game)> make;
  std::map<int, std::string> saves;  // what the list shows
  bool keeps_last_save = true;       // the save in slot 8 the fixture makes
};

void PrintTo(const FolderCase& c, std::ostream* out) {
  *out << c.name;
}

void Touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary).put('\0');
}

// The longest name a Linux file system takes is 255 bytes.
constexpr std::size_t kLongestName = 255;

// Two-byte characters up to the longest save name that fits, ".nam" included.
std::string LongAccentedName() {
  std::string name;
  while (name.size() + 2 + 4 <= kLongestName) {
    name += "\xC3\xA9";
  }
  return name;
}

class HostileFoldersTest : public HostileInstallationTest,
                           public ::testing::WithParamInterface<FolderCase> {};

TEST_P(HostileFoldersTest, StartUpCompletesAndListsTheSavesThatCanBeRead) {
  const FolderCase& c = GetParam();
  const fs::path game = root_ / "zp";
  Write("zp/zephran.ini", "[Display]\r\nScreenWidth=400\r\n");
  // A save after the trouble shows that the scan went on.
  Touch(game / "savegames/slot8/Last.nam");
  c.make(game);

  const Shown shown = StartUp(root_);

  EXPECT_TRUE(shown.located);
  EXPECT_EQ(shown.messages, std::vector<std::string>{});
  EXPECT_EQ(shown.selections.resolution_index, 2);
  std::map<int, std::string> saves = c.saves;
  if (c.keeps_last_save) {
    saves.emplace(8, "Last");
  }
  EXPECT_EQ(shown.slots, SlotItems(saves));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HostileFoldersTest,
    ::testing::Values(FolderCase{"SlotFolderIsAFile",
                                 [](const fs::path& game) {
                                   Touch(game / "savegames/slot1");
                                   Touch(game / "savegames/slot2/Real.nam");
                                 },
                                 {{2, "Real"}}},
                      FolderCase{"SymbolicLinkLoops",
                                 [](const fs::path& game) {
                                   const fs::path saves = game / "savegames";
                                   fs::create_directories(saves);
                                   fs::create_symlink("slot1", saves / "slot1");
                                   fs::create_symlink("slot3", saves / "slot2");
                                   fs::create_symlink("slot2", saves / "slot3");
                                   // A cycle, not a loop: the slot is the save folder itself.
                                   fs::create_symlink(".", saves / "slot4");
                                   // A looping link is still a name in its folder, like
                                   // any dangling link, so it names a save.
                                   fs::create_directories(saves / "slot5");
                                   fs::create_symlink("loop.nam", saves / "slot5" / "loop.nam");
                                   Touch(saves / "slot6/Fine.nam");
                                 },
                                 {{5, "loop"}, {6, "Fine"}}},
                      FolderCase{"SaveFoldersAreALoop",
                                 [](const fs::path& game) {
                                   fs::remove_all(game / "savegames");
                                   fs::create_symlink("savegames", game / "savegames");
                                 },
                                 {},
                                 false},
                      FolderCase{"NamesThatAreNotUtf8",
                                 [](const fs::path& game) {
                                   Touch(game / "savegames/slot1/\xFF\xFE caf\xE9.nam");
                                   Touch(game / "savegames/slot2/\xC3(.nam");
                                   Touch(game / "savegames/Slot3/ok\xE2\x82.NAM");
                                 },
                                 {{1, "\xFF\xFE caf\xE9"}, {2, "\xC3("}, {3, "ok\xE2\x82"}}},
                      FolderCase{
                          "LongestNames",
                          [](const fs::path& game) {
                            Touch(game / "savegames/slot1" /
                                  (std::string(kLongestName - 4, 'n') + ".nam"));
                            Touch(game / "savegames/slot2" / (LongAccentedName() + ".nam"));
                          },
                          {{1, std::string(kLongestName - 4, 'n')}, {2, LongAccentedName()}}}));

TEST_F(HostileInstallationTest, ALoopedSettingsFileShowsTheDefaults) {
  fs::create_symlink("zephran.ini", root_ / "zephran.ini");
  const Shown shown = StartUp(root_);
  EXPECT_TRUE(shown.located);
  EXPECT_EQ(shown.selections.resolution_index, std::nullopt);
  EXPECT_EQ(shown.slots, SlotItems({}));
}

TEST_F(HostileInstallationTest, AnInstallationFolderWhoseNameIsNotUtf8) {
  const fs::path folder = root_ / "Jeux \xE9t\xE9 \xFF";
  Write(folder / "zephran.ini", "[Display]\r\nScreenWidth=512\r\n");
  Touch(folder / "savegames/slot2/D\xE9j\xE0.nam");

  const Shown shown = StartUp(folder);

  EXPECT_TRUE(shown.located);
  EXPECT_EQ(shown.selections.resolution_index, 1);
  EXPECT_EQ(shown.slots, SlotItems({{2, "D\xE9j\xE0"}}));
}

// Closed folders and files only stop someone without root's powers, so this
// runs as such a user (see RunUnprivileged).
TEST_F(HostileInstallationTest, UnreadableFilesAndFoldersShowAsEmpty) {
  Write("zephran.ini", "[Display]\r\nScreenWidth=640\r\n");
  Touch(root_ / "savegames/slot1/Locked.nam");
  Touch(root_ / "savegames/slot2/Open.nam");
  if (::geteuid() == 0) {
    const auto user = zephran::testing::UnprivilegedUser();
    if (!user) {
      GTEST_SKIP() << "running as root and there is no unprivileged user to run as";
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
      ASSERT_EQ(::lchown(entry.path().c_str(), user->uid, user->gid), 0);
    }
  }
  fs::permissions(root_ / "zephran.ini", fs::perms::none);
  fs::permissions(root_ / "savegames/slot1", fs::perms::none);

  enum : int { kSlot1 = 1, kSlot2 = 2, kResolution = 4, kMessage = 8, kNotLocated = 16 };
  const std::optional<int> seen = zephran::testing::RunUnprivileged([&] {
    const Shown shown = StartUp(root_);
    const std::vector<std::string> slots = shown.slots;
    return (shown.located ? 0 : kNotLocated) | (shown.messages.empty() ? 0 : kMessage) |
           (shown.selections.resolution_index ? kResolution : 0) |
           (slots.size() == 8 && slots[0] != "1 ----------" ? kSlot1 : 0) |
           (slots.size() == 8 && slots[1] == "2 - Open" ? kSlot2 : 0);
  });
  if (!seen) {
    GTEST_SKIP() << "could not run as an unprivileged user";
  }
  // Found, nothing told, the settings' defaults, the open slot only.
  EXPECT_EQ(*seen, kSlot2);
}

}  // namespace
}  // namespace zephran::core
