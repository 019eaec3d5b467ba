#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace zephran::platform {
namespace {

TEST(CommandLineTest, TextJoinsWordsUnquoted) {
  const CommandLine bare{"/g/ZP1.EXE", {}};
  const CommandLine load{"/My Games/z/ZP2.EXE", {"load_game", "slot_3"}};
  EXPECT_EQ(bare.Text(), "/g/ZP1.EXE");
  EXPECT_EQ(load.Text(), "/My Games/z/ZP2.EXE load_game slot_3");
}

}  // namespace
}  // namespace zephran::platform
