#pragma once

#include "platform/windows_api.h"
#include "win32/focus_cues.h"
#include "win32/window_base.h"
#include "window/description.h"

namespace zephran::win32 {

// The two pictures a check box shows, kept by the window, at the window's
// scale, and how far down and right the picture goes while pressed.
struct CheckPictures {
  HBITMAP off = nullptr;
  HBITMAP on = nullptr;
  int pressed_offset = 1;
};

// A push button that latches: the system's owner-drawn button, showing the
// "on" picture sunken while checked and the "off" one raised while not. It
// keeps its value itself; a click, a double-click and Space toggle it.
class PictureCheckBox final : public WindowBase {
 public:
  // Made at `box`, the description's box at the window's scale, with the
  // pictures at that scale; throws CreationError when the system refuses.
  PictureCheckBox(HINSTANCE instance, HWND parent, int id,
                  const window::ControlDescription& control, const RECT& box,
                  CheckPictures pictures, const FocusCues& cues);
  ~PictureCheckBox() override = default;

  // Moved to a box, with the pictures, for another scale.
  void Place(const RECT& box, CheckPictures pictures);

  // 1 checked, 0 not.
  int Value() const { return value_; }
  void SetValue(int value);

  // WM_COMMAND: the clicks; WM_DRAWITEM.
  bool OnNotice(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void Draw(const DRAWITEMSTRUCT& item) const;

  const window::ControlDescription& control_;
  CheckPictures pictures_;
  const FocusCues& cues_;
  int value_ = 0;
};

}  // namespace zephran::win32
