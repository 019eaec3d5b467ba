#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "window/description.h"

namespace zephran::window {

// What the player asks of the window with a gamepad, whatever the pad.
enum class PadAction {
  kUp,
  kDown,
  kLeft,
  kRight,
  kAccept,  // the south face button (A on an Xbox pad, cross on a PlayStation one)
  kBack,    // the east face button (B, circle)
};

// A pad's buttons and left stick at one moment, as each toolkit's pad
// library reports them. Several pads read together are one state (see
// Merge).
struct PadState {
  bool up = false;  // the directional pad
  bool down = false;
  bool left = false;
  bool right = false;
  bool accept = false;
  bool back = false;
  // The left stick, -32768 to 32767 each way: x grows to the right, y
  // downwards.
  int stick_x = 0;
  int stick_y = 0;

  // Buttons held on either pad; of each stick axis, the one pushed further.
  void Merge(const PadState& other);
};

// Turns states read one after another into actions: a button acts when it
// goes down; a direction (pad or stick) acts when it is first held, then
// repeats while held, first after kFirstRepeat, then every kRepeat. The
// stick counts only past half its travel, and lets go only under a third,
// so that resting thumbs and a wobble at the edge do nothing. Time is given
// with each read, so nothing here depends on a clock of its own.
class PadReader {
 public:
  static constexpr std::chrono::milliseconds kFirstRepeat{400};
  static constexpr std::chrono::milliseconds kRepeat{125};

  // The actions asked for since the last read. The first read, and the first
  // after Forget, only learns what is held: a button already down when the
  // window became active was meant for something else.
  std::vector<PadAction> Read(const PadState& state, std::chrono::milliseconds now);

  // Reading stops (the window is no longer active); the next read starts
  // afresh.
  void Forget();

 private:
  std::optional<PadAction> Direction(const PadState& state);

  bool learnt_ = false;
  bool accept_ = false;
  bool back_ = false;
  std::optional<PadAction> stick_;
  std::optional<PadAction> held_;
  std::chrono::milliseconds next_repeat_{0};
};

// The nine controls the pad's cursor stops on: the lists, the check boxes,
// the two text buttons and the read-me link.
bool IsPadStop(ControlId control);

// Where a direction takes the pad's cursor from a stop, following the
// window's layout: the stops fall into rows (stops whose boxes share a
// pixel row), top to bottom; up and down go to the first stop of the row
// above or below, left and right along the row. Nothing past the edges.
std::optional<ControlId> PadNeighbour(ControlId from, PadAction direction);

}  // namespace zephran::window
