#include "window/gamepad.h"

#include <algorithm>
#include <cstdlib>

namespace zephran::window {

namespace {

// Half the stick's travel to count, a third to let go.
constexpr int kStickPress = 16384;
constexpr int kStickRelease = 10923;

// The axis pushed further, keeping its sign.
int Further(int a, int b) {
  return std::abs(a) >= std::abs(b) ? a : b;
}

// How far the stick is pushed towards a direction (negative: away from it).
int StickTowards(const PadState& state, PadAction direction) {
  switch (direction) {
    case PadAction::kUp:
      return -state.stick_y;
    case PadAction::kDown:
      return state.stick_y;
    case PadAction::kLeft:
      return -state.stick_x;
    case PadAction::kRight:
      return state.stick_x;
    default:
      return 0;
  }
}

bool PadHeld(const PadState& state, PadAction direction) {
  switch (direction) {
    case PadAction::kUp:
      return state.up;
    case PadAction::kDown:
      return state.down;
    case PadAction::kLeft:
      return state.left;
    case PadAction::kRight:
      return state.right;
    default:
      return false;
  }
}

constexpr PadAction kDirections[] = {PadAction::kUp, PadAction::kDown, PadAction::kLeft,
                                     PadAction::kRight};

// The stops in rows, top to bottom, each row left to right.
using Rows = std::vector<std::vector<ControlId>>;

Rows StopRows() {
  std::vector<ControlId> stops;
  for (const ControlDescription& control : MainPageDescription().controls) {
    if (IsPadStop(control.id)) {
      stops.push_back(control.id);
    }
  }
  std::sort(stops.begin(), stops.end(), [](ControlId a, ControlId b) {
    const Box& first = Describe(a).box;
    const Box& second = Describe(b).box;
    return first.y != second.y ? first.y < second.y : first.x < second.x;
  });
  Rows rows;
  int row_bottom = 0;
  for (const ControlId stop : stops) {
    const Box& box = Describe(stop).box;
    if (rows.empty() || box.y >= row_bottom) {
      rows.emplace_back();
      row_bottom = 0;
    }
    rows.back().push_back(stop);
    row_bottom = std::max(row_bottom, box.y + box.height);
  }
  for (auto& row : rows) {
    std::sort(row.begin(), row.end(),
              [](ControlId a, ControlId b) { return Describe(a).box.x < Describe(b).box.x; });
  }
  return rows;
}

}  // namespace

void PadState::Merge(const PadState& other) {
  up = up || other.up;
  down = down || other.down;
  left = left || other.left;
  right = right || other.right;
  accept = accept || other.accept;
  back = back || other.back;
  stick_x = Further(stick_x, other.stick_x);
  stick_y = Further(stick_y, other.stick_y);
}

std::optional<PadAction> PadReader::Direction(const PadState& state) {
  // The stick keeps its direction until it comes back under the release
  // mark; then the axis pushed further past the press mark, if any.
  if (!stick_ || StickTowards(state, *stick_) < kStickRelease) {
    stick_.reset();
    const bool across = std::abs(state.stick_x) > std::abs(state.stick_y);
    const int pushed = across ? state.stick_x : state.stick_y;
    if (std::abs(pushed) >= kStickPress) {
      stick_ = across ? (pushed > 0 ? PadAction::kRight : PadAction::kLeft)
                      : (pushed > 0 ? PadAction::kDown : PadAction::kUp);
    }
  }
  // The directional pad comes first; of two of its buttons, the one held
  // already stays.
  if (held_ && PadHeld(state, *held_)) {
    return held_;
  }
  for (const PadAction direction : kDirections) {
    if (PadHeld(state, direction)) {
      return direction;
    }
  }
  return stick_;
}

std::vector<PadAction> PadReader::Read(const PadState& state, std::chrono::milliseconds now) {
  std::vector<PadAction> actions;
  const std::optional<PadAction> direction = Direction(state);
  if (learnt_) {
    if (direction && direction != held_) {
      actions.push_back(*direction);
      next_repeat_ = now + kFirstRepeat;
    } else if (direction && now >= next_repeat_) {
      actions.push_back(*direction);
      // From now, not from when it was due: a read that came late repeats
      // once, not in a burst.
      next_repeat_ = now + kRepeat;
    }
    if (state.accept && !accept_) {
      actions.push_back(PadAction::kAccept);
    }
    if (state.back && !back_) {
      actions.push_back(PadAction::kBack);
    }
  }
  if (!learnt_) {
    // Held since before the first read: it does nothing until let go.
    next_repeat_ = std::chrono::milliseconds::max();
  }
  learnt_ = true;
  held_ = direction;
  accept_ = state.accept;
  back_ = state.back;
  return actions;
}

void PadReader::Forget() {
  *this = PadReader();
}

bool IsPadStop(ControlId control) {
  const ControlDescription& described = Describe(control);
  return described.kind != ControlKind::kLabel || described.label_role != LabelRole::kText;
}

std::optional<ControlId> PadNeighbour(ControlId from, PadAction direction) {
  const Rows rows = StopRows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const auto at = std::find(rows[row].begin(), rows[row].end(), from);
    if (at == rows[row].end()) {
      continue;
    }
    switch (direction) {
      case PadAction::kUp:
        return row > 0 ? std::optional(rows[row - 1].front()) : std::nullopt;
      case PadAction::kDown:
        return row + 1 < rows.size() ? std::optional(rows[row + 1].front()) : std::nullopt;
      case PadAction::kLeft:
        return at != rows[row].begin() ? std::optional(*(at - 1)) : std::nullopt;
      case PadAction::kRight:
        return at + 1 != rows[row].end() ? std::optional(*(at + 1)) : std::nullopt;
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace zephran::window
