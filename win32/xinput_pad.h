#pragma once

#include <array>
#include <chrono>
#include <vector>

#include "platform/windows_api.h"
#include "window/gamepad.h"

struct _XINPUT_STATE;

namespace zephran::win32 {

// The XInput pads (Xbox pads, and what Wine, Proton and Steam present as
// one), read while the window is active. XInput is loaded from the system
// folder at the first read: xinput1_4, else xinput9_1_0, else xinput1_3;
// without any, there is no pad. A read asks every slot known to hold a pad
// and, now and then, one of the empty ones: asking an empty slot costs the
// system far more than asking a full one.
class XInputPads {
 public:
  // An empty slot is asked about at the first read, then one of them every
  // this many reads, in turn: a pad plugged in is found within two seconds
  // at a read every 16 ms.
  static constexpr int kEmptySlotEvery = 32;

  // What the pads asked for since the last read, at time `now`.
  std::vector<window::PadAction> Read(std::chrono::milliseconds now);

  // The window is no longer active: the next read starts afresh.
  void Forget() { reader_.Forget(); }

 private:
  using GetStateCall = DWORD(WINAPI*)(DWORD, _XINPUT_STATE*);

  bool Load();
  bool Ask(DWORD slot, window::PadState& merged);

  bool tried_ = false;
  GetStateCall get_state_ = nullptr;
  std::array<bool, 4> connected_{};
  bool first_ = true;
  int reads_ = 0;
  DWORD next_empty_ = 0;
  window::PadReader reader_;
};

}  // namespace zephran::win32
