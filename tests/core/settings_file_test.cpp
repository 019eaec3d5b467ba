#include "core/settings_file.h"

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::core {
namespace {

using testing::FakePlatform;
using testing::Native;

class SettingsFileTest : public ::testing::Test {
 protected:
  FakePlatform platform;
  const std::string ini = Native("/games/zephran/zephran.ini");
};

TEST_F(SettingsFileTest, MissingKeyReadsLikeMissingFile) {
  EXPECT_EQ(LireINI(platform, "Display", "ScreenWidth", ini), "");
  platform.AddFile(ini, "[Display]\r\nFullScreen=1\r\n");
  EXPECT_EQ(LireINI(platform, "Display", "ScreenWidth", ini), "");
  EXPECT_EQ(LireINI(platform, "Audio", "FullScreen", ini), "");
  EXPECT_EQ(LireINI(platform, "Display", "FullScreen", ini), "1");
}

TEST_F(SettingsFileTest, LongValueIsCutTo254Characters) {
  const std::string long_value(300, 'x');
  platform.AddFile(ini, "[Display]\r\nScreenWidth=" + long_value + "\r\n");
  EXPECT_EQ(LireINI(platform, "Display", "ScreenWidth", ini), std::string(254, 'x'));
}

TEST_F(SettingsFileTest, WriteCreatesMissingFileAndReportsSuccess) {
  platform.AddFolder(Native("/games/zephran/"));
  EXPECT_EQ(EcrireINI(platform, "Display", "ScreenWidth", "640", ini), "1");
  EXPECT_EQ(platform.files[ini], "[Display]\r\nScreenWidth=640\r\n");
}

TEST_F(SettingsFileTest, FailedWriteReportsZero) {
  EXPECT_EQ(EcrireINI(platform, "Display", "ScreenWidth", "640", ini), "0");  // no folder
  platform.AddFile(ini, "[Display]\r\n");
  platform.read_only.insert(ini);
  EXPECT_EQ(EcrireINI(platform, "Display", "ScreenWidth", "640", ini), "0");
  EXPECT_EQ(platform.files[ini], "[Display]\r\n");
}

TEST_F(SettingsFileTest, FileExistsAsksForEveryKindOfEntry) {
  platform.AddFile(ini);
  struct Case {
    std::string path;
    Flag expected;
  };
  const Case cases[] = {
      {ini, kTrue},
      {Native("/games/zephran/ZP1.EXE"), kFalse},
      {Native("/games/zephran/"), kTrue},
      {Native("/games/other/"), kFalse},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileExists(platform, c.path), c.expected) << c.path;
  }
  for (const unsigned mask : platform.probe_masks) {
    EXPECT_EQ(mask, platform::kAttrAny);
  }
}

}  // namespace
}  // namespace zephran::core
