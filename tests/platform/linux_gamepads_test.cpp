#include "platform/linux_gamepads.h"

#include <gtest/gtest.h>

#include <string_view>

#include "tests/platform/posix_temp_folder.h"

namespace zephran::platform {
namespace {

// Key capabilities as the kernel writes them for real devices.
constexpr std::string_view kKeyboard =
    "402000000 3803078f800d001 feffffdfffefffff fffffffffffffffe\n";
// The directional pad as BTN_TRIGGER_HAPPY1..4, far above the face buttons.
constexpr std::string_view kXboxPad = "f 0 0 0 0 0 0 7cdb000000000000 0 0 0 0\n";

TEST(LinuxGamepadsTest, TellsPadsFromOtherDevicesByTheirButtons) {
  struct Row {
    std::string_view device;
    std::string_view keys;
    int word_bits;
    bool pad;
  };
  const Row rows[] = {
      {"keyboard", kKeyboard, 64, false},
      {"mouse: BTN_LEFT..BTN_EXTRA, in the pad buttons' word", "1f0000 0 0 0 0\n", 64, false},
      {"touchpad: BTN_TOOL_FINGER and the like, just above them", "e520 10000 0 0 0 0\n", 64,
       false},
      {"no keys at all", "0\n", 64, false},
      {"Xbox pad", kXboxPad, 64, true},
      {"joystick: BTN_TRIGGER..BTN_BASE6", "fff00000000 0 0 0 0\n", 64, true},
      {"Xbox pad, 32-bit words", "7cdb0000 0 0 0 0 0 0 0 0 0\n", 32, true},
      {"joystick, 32-bit words: BTN_TRIGGER opens a word", "fff 0 0 0 0 0 0 0 0 0\n", 32, true},
      {"mouse, 32-bit words: the word below", "1f0000 0 0 0 0 0 0 0 0\n", 32, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(HasPadButtons(row.keys, row.word_bits), row.pad) << row.device;
  }
}

class LinuxGamepadsFolderTest : public test_support::TempFolderTest {};

TEST_F(LinuxGamepadsFolderTest, LooksAtEachEventDeviceAndAssumesAPadWhenItCannotLook) {
  Write("event0/device/capabilities/key", kKeyboard);
  Write("input1/capabilities/key", kXboxPad);  // no event device: nothing SDL opens
  EXPECT_FALSE(GamepadMayBePresent(root_));
  Write("event1/device/capabilities/key", kXboxPad);
  EXPECT_TRUE(GamepadMayBePresent(root_));
  EXPECT_TRUE(GamepadMayBePresent(root_ / "hidden by a sandbox"));
}

}  // namespace
}  // namespace zephran::platform
