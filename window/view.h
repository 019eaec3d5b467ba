#pragma once

#include <string_view>

#include "window/description.h"

namespace zephran::window {

// What the controller asks of a toolkit window. Controls are named by id;
// each call names a control of the kind it works on.
class MainPageView {
 public:
  virtual ~MainPageView() = default;

  // Adds an item at the end of a list without changing its selection.
  virtual void AppendItem(ControlId list, std::string_view text) = 0;
  // Selects an item (-1: none). Not reported back as a player's pick: the
  // controller runs the list's handler itself.
  virtual void SelectItem(ControlId list, int index) = 0;
  // The selected position, -1 when none.
  virtual int SelectedItem(ControlId list) const = 0;

  // Check-box values: 1 checked, 0 not.
  virtual int CheckValue(ControlId check_box) const = 0;
  virtual void SetCheckValue(ControlId check_box, int value) = 0;

  virtual void SetTextColour(ControlId label, Colour colour) = 0;
  virtual void Focus(ControlId control) = 0;

  // The pad's cursor where neither the focus nor a colour shows it: the
  // focus mark drawn around a label (the read-me link, which keeps its
  // colour), and the focused control's own mark hidden while the cursor
  // stands on a label, so that one thing at a time looks chosen. Shown
  // again, the focus mark also tells a window that hides it until the
  // keyboard is used that the player is not using the mouse.
  virtual void MarkLabel(ControlId label, bool marked) = 0;
  virtual void ShowFocusMark(bool shown) = 0;

  // A list opened and walked without the mouse: opened showing its items,
  // an item highlighted as the pointer would, closed without a pick (the
  // list keeps the item it had when opened). Open tells whether it still
  // is: the player may close it some other way.
  virtual void OpenList(ControlId list) = 0;
  virtual void HighlightItem(ControlId list, int index) = 0;
  virtual void CloseList(ControlId list) = 0;
  virtual bool ListOpen(ControlId list) const = 0;
  virtual int ItemCount(ControlId list) const = 0;

  // Answers the message box on show as its OK button does.
  virtual void AnswerMessage() = 0;
  // Closes the window as its close box does.
  virtual void CloseWindow() = 0;
};

}  // namespace zephran::window
