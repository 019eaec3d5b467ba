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
};

}  // namespace zephran::window
