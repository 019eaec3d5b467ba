#include "core/save_slots.h"

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::core {
namespace {

using testing::FakePlatform;
using testing::Native;

class SaveSlotsTest : public ::testing::Test {
 protected:
  SaveSlotsTest() {
    state.GameDir = Native("/g/");
    platform.AddFile(Native("/g/zephran.ini"));
  }
  void AddSave(int slot, const std::string& file) {
    platform.AddFile(Native("/g/savegames/slot" + std::to_string(slot) + "/" + file));
  }
  FakePlatform platform;
  LauncherState state;
};

TEST_F(SaveSlotsTest, NoSaveFoldersListsEightEmptySlots) {
  const std::vector<std::string> items = ScanSaveSlots(platform, state);
  ASSERT_EQ(items.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(items[i], std::to_string(i + 1) + " ----------");
  }
  EXPECT_EQ(state.SlotCounter, 9);
  OnSlotChosen(state, 0);
  EXPECT_EQ(state.SlotEmpty, kTrue);
}

TEST_F(SaveSlotsTest, ItemsShowTheSaveNames) {
  AddSave(2, "Start.nam");
  AddSave(3, "a.b.nam");
  AddSave(4, "Chapter two.nam");
  AddSave(5, "Dash-.nam");
  AddSave(8, "notes.txt");  // a folder without a save-name file
  platform.AddFolder(Native("/g/savegames/slot6/"));
  AddSave(9, "Never.nam");  // beyond the eight slots
  AddSave(0, "Never.nam");

  const std::vector<std::string> items = ScanSaveSlots(platform, state);

  const std::vector<std::string> expected{
      "1 ----------", "2 - Start",    "3 - a",        "4 - Chapter two",
      "5 - Dash-",    "6 ----------", "7 ----------", "8 ----------",
  };
  EXPECT_EQ(items, expected);
  const std::array<bool, 8> has_save{false, true, true, true, true, false, false, false};
  EXPECT_EQ(state.SlotHasSave, has_save);
  for (const std::string& probe : platform.probes) {
    EXPECT_EQ(probe.find("slot9"), std::string::npos);
    EXPECT_EQ(probe.find("slot0"), std::string::npos);
  }
}

TEST_F(SaveSlotsTest, FirstListedSaveNameWins) {
  AddSave(1, "Alpha.nam");
  AddSave(1, "Beta.nam");
  EXPECT_EQ(ScanSaveSlots(platform, state)[0], "1 - Alpha");
}

TEST_F(SaveSlotsTest, SaveNameEndingWithDashIsLoadable) {
  AddSave(5, "Dash-.nam");
  ScanSaveSlots(platform, state);
  OnSlotChosen(state, 4);
  EXPECT_EQ(state.SlotEmpty, kFalse);
  OnSlotChosen(state, 5);
  EXPECT_EQ(state.SlotEmpty, kTrue);
}

TEST_F(SaveSlotsTest, NothingSelectedCountsAsEmpty) {
  AddSave(1, "A.nam");
  ScanSaveSlots(platform, state);
  for (const int index : {-1, 8, 100}) {
    OnSlotChosen(state, index);
    EXPECT_EQ(state.SlotEmpty, kTrue) << index;
  }
}

}  // namespace
}  // namespace zephran::core
