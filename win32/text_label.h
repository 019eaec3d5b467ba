#pragma once

#include <string>

#include "platform/windows_api.h"
#include "window/description.h"

namespace zephran::win32 {

// What a text label needs from the window that holds it.
class TextLabelHost {
 public:
  // Copies the window's own picture under `area` (client coordinates of the
  // window) into `target`, at `target`'s origin.
  virtual void CopyBackdrop(HDC target, const RECT& area) const = 0;
  virtual COLORREF LabelColour(HWND label) const = 0;
  // Any mouse move over the label's box, whatever the buttons.
  virtual void OnLabelMouseMoved(HWND label) = 0;
  // A left press and release both inside the box.
  virtual void OnLabelClicked(HWND label) = 0;

 protected:
  ~TextLabelHost() = default;
};

// A caption or text button painted straight onto the window's picture. It
// never takes the focus, and it reports clicks and mouse moves anywhere in
// its box, including where no text is drawn, so a word can act as a button.
// Registers its window class on first use; throws CreationError when the
// system refuses the class or the window.
// `text_shift` moves the text down from the box's top (up when negative);
// see TextTopShift.
HWND CreateTextLabel(HINSTANCE instance, HWND parent, int id, const std::wstring& text,
                     const window::Box& box, HFONT font, int text_shift, TextLabelHost& host);

}  // namespace zephran::win32
