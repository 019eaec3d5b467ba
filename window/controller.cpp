#include "window/controller.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/display_modes.h"
#include "core/locator.h"
#include "core/read_me.h"
#include "core/save_slots.h"

namespace zephran::window {

namespace {

// The text of a fixed list's item, empty for no selection.
std::string_view ItemText(ControlId list, int index) {
  const auto& items = Describe(list).items;
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
    return {};
  }
  return items[static_cast<std::size_t>(index)];
}

bool IsLabelOfRole(ControlId control, LabelRole role) {
  const ControlDescription& described = Describe(control);
  return described.kind == ControlKind::kLabel && described.label_role == role;
}

// Sets a flag for as long as it lives, and puts back what it was.
class Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~Busy() { flag_ = was_; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
  const bool was_;
};

}  // namespace

void MessageWatch::ShowMessage(std::string_view prompt, std::string_view title) {
  // Counted, not set: a message may come while another is up (from an event
  // its box lets through).
  ++showing_;
  struct Done {
    int& showing;
    ~Done() { --showing; }
  } done{showing_};
  window_.ShowMessage(prompt, title);
}

MainPageController::MainPageController(platform::Platform& platform, core::WindowServices& window,
                                       MainPageView& view)
    : platform_(platform), window_(window), view_(view) {}

void MainPageController::Load() {
  core::LocateInstallation(platform_, window_, state_);
  if (state_.BadDir) {
    return;
  }

  const core::DisplaySelections selections = core::LoadDisplaySettings(platform_, state_);
  if (selections.resolution_index) {
    Select(ControlId::ListChoixResol, *selections.resolution_index);
  }
  view_.SetCheckValue(ControlId::ModeFenet, selections.ModeFenet);
  view_.SetCheckValue(ControlId::ModeCinema, selections.ModeCinema);
  view_.SetCheckValue(ControlId::ModeSousT, selections.ModeSousT);
  Select(ControlId::ListCol, selections.colour_index);

  for (const std::string& item : core::ScanSaveSlots(platform_, state_)) {
    view_.AppendItem(ControlId::ListSlot, item);
  }
  Select(ControlId::ListSlot, 0);
}

void MainPageController::OnActivated() {
  if (activated_) {
    return;
  }
  activated_ = true;
  focus_ = MainPageDescription().first_focus;
  view_.Focus(focus_);
}

void MainPageController::OnPicked(ControlId list, int index) {
  RunSelectionHandler(list, index);
}

void MainPageController::Select(ControlId list, int index) {
  view_.SelectItem(list, index);
  RunSelectionHandler(list, index);
}

void MainPageController::RunSelectionHandler(ControlId list, int index) {
  switch (list) {
    case ControlId::ListChoixResol:
      core::OnResolutionChosen(state_, ItemText(list, index));
      break;
    case ControlId::ListCol:
      core::OnColourChosen(state_, ItemText(list, index));
      break;
    case ControlId::ListSlot:
      core::OnSlotChosen(state_, index);
      break;
    default:
      break;
  }
}

void MainPageController::OnMouseMoved(std::optional<ControlId> control) {
  if (!control) {
    Highlight(std::nullopt);
    // A text button the pad's cursor stood on is dark now: the cursor shows
    // nowhere, so the focus shows its mark again.
    if (pad_used_ && pad_cursor_shown_ && IsLabelOfRole(pad_cursor_, LabelRole::kButton)) {
      pad_cursor_shown_ = false;
      view_.ShowFocusMark(true);
    }
    return;
  }
  if (IsLabelOfRole(*control, LabelRole::kButton)) {
    Highlight(control);
    // Once the pad is in use, what the mouse lights is where its cursor is:
    // never two things lit.
    if (pad_used_) {
      MovePadCursor(*control);
    }
  }
  // Over any other control nothing changes: a lit button stays lit.
}

void MainPageController::Highlight(std::optional<ControlId> button) {
  const WindowDescription& window = MainPageDescription();
  for (const ControlId each : {ControlId::BoutLoad, ControlId::BoutLancerNouveau}) {
    view_.SetTextColour(each, each == button ? window.highlighted_button : window.other_button);
  }
}

void MainPageController::OnClicked(ControlId label) {
  const Busy busy(busy_);
  switch (label) {
    case ControlId::BoutLancerNouveau:
      core::LaunchNewGame(platform_, window_, state_, Choices());
      break;
    case ControlId::BoutLoad:
      core::LaunchSavedGame(platform_, window_, state_, Choices());
      break;
    case ControlId::Lien_txt:
      core::OpenReadMe(platform_, window_, state_);
      break;
    default:
      break;
  }
}

void MainPageController::OnPad(PadAction action) {
  if (window_.Showing()) {
    if (action == PadAction::kAccept || action == PadAction::kBack) {
      view_.AnswerMessage();
    }
    return;
  }
  if (busy_) {
    return;
  }
  const Busy busy(busy_);
  if (!pad_used_) {
    // The cursor starts at the keyboard focus, at once visible.
    pad_used_ = true;
    MovePadCursor(focus_);
  }
  // The player may have closed the list the pad opened, or opened the one
  // under the cursor, some other way.
  if (open_list_ && !view_.ListOpen(*open_list_)) {
    open_list_.reset();
  }
  if (!open_list_ && Describe(pad_cursor_).kind == ControlKind::kList &&
      view_.ListOpen(pad_cursor_)) {
    open_list_ = pad_cursor_;
    open_item_ = view_.SelectedItem(pad_cursor_);
  }
  if (open_list_) {
    ActInOpenList(action);
    return;
  }
  if (action == PadAction::kBack) {
    view_.CloseWindow();
    return;
  }
  if (!pad_cursor_shown_) {
    // The first press after the mouse took the light shows where it is.
    MovePadCursor(pad_cursor_);
    return;
  }
  if (action == PadAction::kAccept) {
    PressAtPadCursor();
  } else if (const std::optional<ControlId> next = PadNeighbour(pad_cursor_, action)) {
    MovePadCursor(*next);
  }
}

void MainPageController::OnFocusMoved(ControlId control) {
  // The same control again is the window getting its focus back (after a
  // message box, or from another program): the cursor stays where it is.
  if (control == focus_) {
    return;
  }
  focus_ = control;
  if (pad_used_) {
    MovePadCursor(control);
  }
}

void MainPageController::OnKeyPressed() {
  if (pad_used_ && Describe(pad_cursor_).kind == ControlKind::kLabel) {
    MovePadCursor(focus_);
  }
}

void MainPageController::MovePadCursor(ControlId stop) {
  pad_cursor_ = stop;
  pad_cursor_shown_ = true;
  ShowPadCursor();
}

void MainPageController::ShowPadCursor() {
  const bool on_label = Describe(pad_cursor_).kind == ControlKind::kLabel;
  if (!on_label) {
    focus_ = pad_cursor_;
    view_.Focus(pad_cursor_);
  }
  view_.ShowFocusMark(!on_label);
  view_.MarkLabel(ControlId::Lien_txt, pad_cursor_ == ControlId::Lien_txt);
  Highlight(IsLabelOfRole(pad_cursor_, LabelRole::kButton) ? std::optional(pad_cursor_)
                                                           : std::nullopt);
}

void MainPageController::PressAtPadCursor() {
  switch (Describe(pad_cursor_).kind) {
    case ControlKind::kCheckBox:
      view_.SetCheckValue(pad_cursor_, view_.CheckValue(pad_cursor_) == 1 ? 0 : 1);
      break;
    case ControlKind::kList:
      open_list_ = pad_cursor_;
      open_item_ = view_.SelectedItem(pad_cursor_);
      view_.OpenList(pad_cursor_);
      break;
    case ControlKind::kLabel:
      OnClicked(pad_cursor_);
      break;
  }
}

void MainPageController::ActInOpenList(PadAction action) {
  const ControlId list = *open_list_;
  const int count = view_.ItemCount(list);
  switch (action) {
    case PadAction::kUp:
    case PadAction::kDown:
      if (count > 0) {
        const int step = action == PadAction::kDown ? 1 : -1;
        open_item_ = std::clamp(open_item_ < 0 ? 0 : open_item_ + step, 0, count - 1);
        view_.HighlightItem(list, open_item_);
      }
      break;
    case PadAction::kAccept:
      open_list_.reset();
      view_.CloseList(list);
      if (open_item_ >= 0 && open_item_ < count) {
        Select(list, open_item_);
      }
      break;
    case PadAction::kBack:
      open_list_.reset();
      view_.CloseList(list);
      break;
    default:
      break;
  }
}

core::LaunchChoices MainPageController::Choices() const {
  return core::LaunchChoices{
      view_.CheckValue(ControlId::ModeFenet), view_.CheckValue(ControlId::ModeCinema),
      view_.CheckValue(ControlId::ModeSousT), view_.SelectedItem(ControlId::ListSlot)};
}

}  // namespace zephran::window
