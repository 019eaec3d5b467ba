#pragma once

#include <optional>

#include "core/launch.h"
#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"
#include "window/description.h"
#include "window/view.h"

namespace zephran::window {

// The window's behaviour, whatever toolkit draws it: it owns the launcher's
// state for the run, fills the controls at start-up and answers the events a
// toolkit forwards. Toolkits forward only what the player does; selections
// the controller makes run their handlers here.
class MainPageController {
 public:
  MainPageController(platform::Platform& platform, core::WindowServices& window,
                     MainPageView& view);

  // Start-up, before the window is first shown: finds the game, then shows
  // its settings and save slots.
  void Load();

  // The window became the active one; the first time, the focus goes to the
  // windowed-mode box.
  void OnActivated();

  // The player picked item `index` of a list (also the one already selected).
  void OnPicked(ControlId list, int index);

  // The mouse moved over a control, or over the bare background (nullopt).
  void OnMouseMoved(std::optional<ControlId> control);

  // A click on a label: the two text buttons and the read-me link act on it.
  // The keyboard chords of the text buttons, the help key (the read-me) and
  // an assistive tool pressing a button or the link come here too.
  void OnClicked(ControlId label);

  const core::LauncherState& State() const { return state_; }

 private:
  void Select(ControlId list, int index);
  void RunSelectionHandler(ControlId list, int index);
  void Highlight(std::optional<ControlId> button);
  core::LaunchChoices Choices() const;

  platform::Platform& platform_;
  core::WindowServices& window_;
  MainPageView& view_;
  core::LauncherState state_;
  bool activated_ = false;
};

}  // namespace zephran::window
