#include "window/controller.h"

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

}  // namespace

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
  view_.Focus(MainPageDescription().first_focus);
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
    return;
  }
  if (*control == ControlId::BoutLoad || *control == ControlId::BoutLancerNouveau) {
    Highlight(control);
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

core::LaunchChoices MainPageController::Choices() const {
  return core::LaunchChoices{
      view_.CheckValue(ControlId::ModeFenet), view_.CheckValue(ControlId::ModeCinema),
      view_.CheckValue(ControlId::ModeSousT), view_.SelectedItem(ControlId::ListSlot)};
}

}  // namespace zephran::window
