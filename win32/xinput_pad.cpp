#include "win32/xinput_pad.h"

#include <xinput.h>

#include "platform/windows_system_library.h"

namespace zephran::win32 {

using platform::LoadSystemFunction;
using platform::SystemLibrary;

bool XInputPads::Load() {
  if (!tried_) {
    tried_ = true;
    for (const SystemLibrary library :
         {SystemLibrary::kXInput14, SystemLibrary::kXInput91, SystemLibrary::kXInput13}) {
      get_state_ = LoadSystemFunction<GetStateCall>(library, "XInputGetState");
      if (get_state_ != nullptr) {
        break;
      }
    }
  }
  return get_state_ != nullptr;
}

bool XInputPads::Ask(DWORD slot, window::PadState& merged) {
  XINPUT_STATE state{};
  connected_[slot] = get_state_(slot, &state) == ERROR_SUCCESS;
  if (!connected_[slot]) {
    return false;
  }
  const XINPUT_GAMEPAD& pad = state.Gamepad;
  window::PadState read;
  read.up = (pad.wButtons & XINPUT_GAMEPAD_DPAD_UP) != 0;
  read.down = (pad.wButtons & XINPUT_GAMEPAD_DPAD_DOWN) != 0;
  read.left = (pad.wButtons & XINPUT_GAMEPAD_DPAD_LEFT) != 0;
  read.right = (pad.wButtons & XINPUT_GAMEPAD_DPAD_RIGHT) != 0;
  read.accept = (pad.wButtons & XINPUT_GAMEPAD_A) != 0;
  read.back = (pad.wButtons & XINPUT_GAMEPAD_B) != 0;
  read.stick_x = pad.sThumbLX;
  // XInput's y grows upwards.
  read.stick_y = -static_cast<int>(pad.sThumbLY);
  merged.Merge(read);
  return true;
}

std::vector<window::PadAction> XInputPads::Read(std::chrono::milliseconds now) {
  if (!Load()) {
    return {};
  }
  window::PadState merged;
  for (DWORD slot = 0; slot < connected_.size(); ++slot) {
    if (connected_[slot] || first_) {
      Ask(slot, merged);
    }
  }
  if (!first_ && ++reads_ % kEmptySlotEvery == 0) {
    // The next empty slot after the one asked last time.
    for (DWORD step = 0; step < connected_.size(); ++step) {
      const DWORD slot = (next_empty_ + step) % connected_.size();
      if (!connected_[slot]) {
        next_empty_ = (slot + 1) % connected_.size();
        Ask(slot, merged);
        break;
      }
    }
  }
  first_ = false;
  return reader_.Read(merged, now);
}

}  // namespace zephran::win32
