#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/windows_api.h"
#include "win32/drop_down_list.h"
#include "win32/focus_cues.h"
#include "win32/fonts.h"
#include "win32/gdi.h"
#include "win32/picture_check_box.h"
#include "win32/scale.h"
#include "win32/text_label.h"
#include "window/description.h"

namespace zephran::win32 {

// The window's controls, one object each (DropDownList, PictureCheckBox,
// TextLabel), named as in the window's description and made all at once,
// so that from then on every control the controller names exists. The
// controller names each control by the kind it works on: a call for a
// control of another kind, or before they are made, finds nothing and
// changes nothing.
class ControlSet {
 public:
  // Loads the check boxes' pictures; throws CreationError when the system
  // refuses. The fonts, cues and host outlive the set.
  ControlSet(HINSTANCE instance, const Fonts& fonts, const FocusCues& cues,
             TextLabelHost& label_host);

  // Makes every control in `parent` at `scale`; throws CreationError.
  void Create(HWND parent, const Scale& scale);
  // Moves every control to its box at `scale`, with the fonts and pictures
  // of that scale; throws CreationError when the pictures cannot be made,
  // leaving the controls as they were.
  void Rescale(const Scale& scale);

  HWND Handle(window::ControlId id) const;
  // The control `control` is, when it is one of the set's.
  std::optional<window::ControlId> Identify(HWND control) const;
  bool IsList(window::ControlId id) const { return lists_[Index(id)] != nullptr; }
  bool IsCheckBox(window::ControlId id) const { return check_boxes_[Index(id)] != nullptr; }
  bool IsLabel(window::ControlId id) const { return labels_[Index(id)] != nullptr; }

  void Focus(window::ControlId control) const;

  void AppendItem(window::ControlId list, std::string_view text);
  void SelectItem(window::ControlId list, int index);
  int SelectedItem(window::ControlId list) const;
  void OpenList(window::ControlId list);
  void HighlightItem(window::ControlId list, int index);
  void CloseList(window::ControlId list);
  bool ListOpen(window::ControlId list) const;
  int ItemCount(window::ControlId list) const;

  int CheckValue(window::ControlId check_box) const;
  void SetCheckValue(window::ControlId check_box, int value);

  COLORREF TextColour(window::ControlId label) const;
  void SetTextColour(window::ControlId label, COLORREF colour);
  // The words of the labels below `label` that reach into `area` (client
  // coordinates), into `target` at its origin.
  void DrawLabelsBelow(window::ControlId label, HDC target, const RECT& area) const;
  void MarkLabel(window::ControlId label, bool marked);
  bool LabelMarked(window::ControlId label) const;

 private:
  static constexpr int kFirstControlId = 100;

  static std::size_t Index(window::ControlId id) { return static_cast<std::size_t>(id); }
  void CreateControl(HWND parent, const window::ControlDescription& control, int list_item_height);
  // The check boxes' pictures (off, on) at `scale`; none at 96 dpi, where
  // the loaded ones are shown.
  std::pair<Bitmap, Bitmap> ScaledPictures(const Scale& scale) const;
  CheckPictures Pictures() const;

  HINSTANCE instance_ = nullptr;
  const Fonts& fonts_;
  const FocusCues& cues_;
  TextLabelHost& label_host_;
  Bitmap check_off_;
  Bitmap check_on_;
  Bitmap scaled_off_;
  Bitmap scaled_on_;
  Scale scale_;
  HWND parent_ = nullptr;
  // One of the three per control, by its kind.
  std::array<std::unique_ptr<DropDownList>, window::kControlCount> lists_;
  std::array<std::unique_ptr<PictureCheckBox>, window::kControlCount> check_boxes_;
  std::array<std::unique_ptr<TextLabel>, window::kControlCount> labels_;
};

}  // namespace zephran::win32
