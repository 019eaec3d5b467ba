#pragma once

#include <climits>
#include <filesystem>
#include <string_view>

namespace zephran::platform {

// The kernel writes a bitmap in sysfs as words of the reading program's
// `long` (to a 32-bit program on a 64-bit kernel it writes 32-bit words).
inline constexpr int kCapabilityWordBits = sizeof(unsigned long) * CHAR_BIT;

// Whether an input device's key capabilities (its sysfs `capabilities/key`:
// hexadecimal words of `word_bits` bits, the most significant first, the
// leading empty ones left out) hold a joystick's or a gamepad's buttons
// (BTN_JOYSTICK 0x120 to BTN_THUMBR 0x13e). The kernel's joystick driver
// and SDL take a device with such buttons for a game controller; keyboards,
// mice, touchpads and tablets have none.
bool HasPadButtons(std::string_view key_capabilities, int word_bits = kCapabilityWordBits);

// Whether one of the input devices listed in `class_input` (sysfs's
// /sys/class/input) may be a gamepad: one of its event devices has pad
// buttons, or cannot be told apart from a pad because the folder or its
// capabilities cannot be read (a sandbox hiding sysfs). Needs no permission
// on the devices themselves.
bool GamepadMayBePresent(const std::filesystem::path& class_input);

}  // namespace zephran::platform
