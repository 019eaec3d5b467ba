#pragma once

#include <optional>

#include "core/launch.h"
#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"
#include "window/description.h"
#include "window/gamepad.h"
#include "window/view.h"

namespace zephran::window {

// The window's services as the logic gets them from the controller: they
// note while a message box is up, for the pad to answer it.
class MessageWatch final : public core::WindowServices {
 public:
  explicit MessageWatch(core::WindowServices& window) : window_(window) {}

  void ShowMessage(std::string_view prompt, std::string_view title) override;
  void PumpEvents() override { window_.PumpEvents(); }
  void HideWindow() override { window_.HideWindow(); }
  void RestoreWindow() override { window_.RestoreWindow(); }

  bool Showing() const { return showing_ > 0; }

 private:
  core::WindowServices& window_;
  int showing_ = 0;
};

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

  // What the player asks with a gamepad. The pad moves a cursor of its own
  // over the stops (IsPadStop), starting from the keyboard focus: on a list
  // or check box it is the focus, on a text button it lights the pair as
  // the mouse does, on the link it is a focus mark. Accept does there what
  // a click does (a list opens, to be walked up and down, picked from with
  // Accept or closed unchanged with Back); Back closes the window. Either
  // answers a message box. Nothing the pad asks runs while a click's work
  // lets events through, except answering its message.
  void OnPad(PadAction action);

  // The keyboard focus went to another list or check box, however it went.
  void OnFocusMoved(ControlId control);

  // A key went down in the window: the pad's cursor, if it stands on a
  // label, goes back to the keyboard focus.
  void OnKeyPressed();

  const core::LauncherState& State() const { return state_; }

 private:
  void Select(ControlId list, int index);
  void RunSelectionHandler(ControlId list, int index);
  void Highlight(std::optional<ControlId> button);
  core::LaunchChoices Choices() const;

  void MovePadCursor(ControlId stop);
  void ShowPadCursor();
  void PressAtPadCursor();
  void ActInOpenList(PadAction action);

  platform::Platform& platform_;
  MessageWatch window_;
  MainPageView& view_;
  core::LauncherState state_;
  bool activated_ = false;
  // A click's or the pad's work is under way.
  bool busy_ = false;
  // Where the keyboard focus is, as last set or reported.
  ControlId focus_ = MainPageDescription().first_focus;
  // The pad's cursor exists once the pad has been used. The mouse can take
  // a text button's light off it: it then shows nowhere until the pad is
  // used again.
  bool pad_used_ = false;
  ControlId pad_cursor_ = MainPageDescription().first_focus;
  bool pad_cursor_shown_ = false;
  // The list the pad opened, and the item highlighted in it.
  std::optional<ControlId> open_list_;
  int open_item_ = -1;
};

}  // namespace zephran::window
