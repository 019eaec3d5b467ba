#pragma once

#include <string>

#include "platform/windows_api.h"
#include "win32/fonts.h"
#include "win32/scale.h"
#include "win32/window_base.h"
#include "window/description.h"

namespace zephran::win32 {

// What a text label needs from the window that holds it.
class TextLabelHost {
 public:
  // Copies what the window shows under `label` in `area` (client
  // coordinates of the window) into `target`, at `target`'s origin: its own
  // picture, and the words of any label below that reach into it (labels
  // are transparent).
  virtual void CopyBackdrop(HDC target, const RECT& area, window::ControlId label) const = 0;
  // Any mouse move over the label's box, whatever the buttons.
  virtual void OnLabelMouseMoved(window::ControlId label) = 0;
  // A left press and release both inside the box.
  virtual void OnLabelClicked(window::ControlId label) = 0;

 protected:
  ~TextLabelHost() = default;
};

// A caption or text button painted straight onto the window's picture. It
// never takes the focus, and it reports clicks and mouse moves anywhere in
// its box, including where no text is drawn, so a word can act as a button.
class TextLabel final : public WindowBase {
 public:
  // Made at the description's box at `scale`, its text in `face`; throws
  // CreationError when the system refuses. `text_shift` (pixels at 96 dpi)
  // moves the text down from the box's top (up when negative); see
  // TextTopShift.
  TextLabel(HINSTANCE instance, HWND parent, int id, const window::ControlDescription& control,
            const Scale& scale, const ScaledFace& face, int text_shift, TextLabelHost& host);
  ~TextLabel() override = default;

  // Moved to its box at another scale, with the face at that scale.
  void Place(const Scale& scale, const ScaledFace& face);

  COLORREF Colour() const { return colour_; }
  void SetColour(COLORREF colour);

  // Its words drawn into `target` with its box's top-left corner at
  // `origin`, as they show over another label's backdrop.
  void DrawWords(HDC target, POINT origin) const;

  // The focus mark around the whole box: a label takes no focus, but the
  // pad's cursor can stand on one.
  void SetFocusMark(bool shown);
  bool FocusMark() const { return focus_mark_; }

 private:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void Paint(HDC target) const;
  void OnButtonUp(LPARAM lparam);

  const window::ControlDescription& control_;
  TextLabelHost& host_;
  Scale scale_;
  ScaledFace face_;
  // How far the text is drawn below the box's top so that its first line
  // sits where other toolkits put it with the same face.
  const int text_shift_ = 0;
  COLORREF colour_ = 0;
  bool pressed_ = false;
  bool focus_mark_ = false;
};

}  // namespace zephran::win32
