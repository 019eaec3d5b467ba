#include "core/locator.h"

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::core {
namespace {

using testing::FakePlatform;
using testing::Native;

struct LocatorCase {
  const char* name;
  std::string program_folder;
  std::vector<std::string> settings_files;
  std::string game_dir;  // expected
  std::string own_dir;   // expected
  bool found;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const LocatorCase& c, std::ostream* out) {
  *out << c.name;
}

class LocatorTest : public ::testing::TestWithParam<LocatorCase> {};

TEST_P(LocatorTest, FindsTheInstallation) {
  const LocatorCase& c = GetParam();
  FakePlatform platform;
  platform.program_folder = c.program_folder;
  for (const std::string& file : c.settings_files) {
    platform.AddFile(file, "[Display]\r\n");
  }
  LauncherState state;

  LocateInstallation(platform, platform, state);

  EXPECT_EQ(state.GameDir, c.game_dir);
  EXPECT_EQ(state.OwnDir, c.own_dir);
  EXPECT_EQ(state.BadDir, c.found ? kFalse : kTrue);
  if (c.found) {
    EXPECT_EQ(platform.messages, 0);
    EXPECT_EQ(state.SettingsFile, c.game_dir + "zephran.ini");
    EXPECT_EQ(platform.attribute_resets, std::vector<std::string>{state.SettingsFile});
  } else {
    EXPECT_EQ(platform.log, std::vector<std::string>{"message Bad directory !|Error : this "
                                                     "program isn't in the Zephran directory"});
    EXPECT_TRUE(platform.attribute_resets.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LocatorTest,
                         ::testing::Values(LocatorCase{"OwnFolder",
                                                       Native("/g/z"),
                                                       {Native("/g/z/zephran.ini")},
                                                       Native("/g/z/"),
                                                       Native("/g/z/"),
                                                       true},
                                           LocatorCase{"SubFolder",
                                                       Native("/g"),
                                                       {Native("/g/zp/zephran.ini")},
                                                       Native("/g/zp/"),
                                                       Native("/g/"),
                                                       true},
                                           LocatorCase{"BothOwnWins",
                                                       Native("/g"),
                                                       {Native("/g/zephran.ini"),
                                                        Native("/g/zp/zephran.ini")},
                                                       Native("/g/"),
                                                       Native("/g/"),
                                                       true},
                                           LocatorCase{"Neither",
                                                       Native("/g"),
                                                       {Native("/g/zq/zephran.ini")},
                                                       Native("/g/"),
                                                       Native("/g/"),
                                                       false},
                                           LocatorCase{"DeeperSubFolderIsNotLookedAt",
                                                       Native("/g"),
                                                       {Native("/g/zp/zp/zephran.ini")},
                                                       Native("/g/"),
                                                       Native("/g/"),
                                                       false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LocatorRootTest, RootFolderGetsNoSecondSeparator) {
  FakePlatform platform;
  platform.program_folder = Native("/");
  LauncherState state;

  LocateInstallation(platform, platform, state);

  EXPECT_EQ(platform.probes,
            (std::vector<std::string>{Native("/zephran.ini"), Native("/zp/zephran.ini")}));
  EXPECT_EQ(state.OwnDir, Native("/"));
}

// A save killed while the file was moved aside is finished before the file
// is looked for, so the installation is found.
TEST(LocatorInterruptedSaveTest, IsFinishedBeforeTheFileIsLookedFor) {
  FakePlatform platform;
  platform.program_folder = Native("/g");
  platform.moved_aside[Native("/g/zp/zephran.ini")] = "[Display]\r\n";
  LauncherState state;

  LocateInstallation(platform, platform, state);

  EXPECT_EQ(state.BadDir, kFalse);
  EXPECT_EQ(state.SettingsFile, Native("/g/zp/zephran.ini"));
}

TEST(LocatorMissingTest, LeavesEverythingElseUntouched) {
  FakePlatform platform;
  platform.program_folder = Native("/nowhere");
  LauncherState state;

  LocateInstallation(platform, platform, state);

  LauncherState expected;
  expected.GameDir = Native("/nowhere/");
  expected.OwnDir = Native("/nowhere/");
  expected.BadDir = kTrue;
  EXPECT_EQ(state, expected);
  EXPECT_TRUE(platform.started.empty());
}

}  // namespace
}  // namespace zephran::core
