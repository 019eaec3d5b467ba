#include "core/read_me.h"

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::core {
namespace {

using testing::FakePlatform;
using testing::Native;

class ReadMeTest : public ::testing::Test {
 protected:
  ReadMeTest() {
    state.OwnDir = Native("/g/");
    state.GameDir = Native("/g/zp/");
  }
  FakePlatform platform;
  LauncherState state;
  const std::string read_me = Native("/g/readme.txt");
};

TEST_F(ReadMeTest, OpensTheReadMeBesideTheLauncherEachTime) {
  platform.AddFile(read_me);
  platform.AddFile(Native("/g/zp/readme.txt"));

  OpenReadMe(platform, platform, state);
  OpenReadMe(platform, platform, state);

  const platform::CommandLine expected{"text-viewer", {read_me}};
  EXPECT_EQ(platform.started, (std::vector<platform::CommandLine>{expected, expected}));
  EXPECT_EQ(platform.styles[0], platform::WindowStyle::Normal);
  EXPECT_EQ(platform.log.front(), "pump");
  EXPECT_FALSE(platform.ended);
  EXPECT_EQ(platform.messages, 0);
}

TEST_F(ReadMeTest, MissingReadMeIsToldNotStarted) {
  OpenReadMe(platform, platform, state);

  EXPECT_TRUE(platform.started.empty());
  EXPECT_EQ(platform.log.back(), "message Read-me.txt|There is no read-me at " + read_me + ".");
}

TEST_F(ReadMeTest, ViewerThatCannotStartOrFailsAtOnceIsToldWithTheReadMesPath) {
  platform.AddFile(read_me);
  platform.start_result = {false, "Cannot start xdg-open: not found on PATH"};
  OpenReadMe(platform, platform, state);
  EXPECT_EQ(platform.log.back(), "message Read-me.txt|The read-me at " + read_me +
                                     " could not be opened.\nCannot start xdg-open: not found on "
                                     "PATH");

  platform.start_result = {true, ""};
  platform.start_watch = {true, "xdg-open ended with status 4"};
  OpenReadMe(platform, platform, state);
  EXPECT_EQ(platform.log.back(), "message Read-me.txt|The read-me at " + read_me +
                                     " could not be opened: xdg-open ended with status 4");
  EXPECT_FALSE(platform.ended);
}

}  // namespace
}  // namespace zephran::core
