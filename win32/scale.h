#pragma once

#include "platform/windows_api.h"
#include "win32/gdi.h"
#include "window/description.h"

namespace zephran::win32 {

// The message of a window moved to a monitor of another scale (Windows 8.1
// on), which the headers keep from a build for older systems.
inline constexpr UINT kDpiChangedMessage = 0x02E0;  // WM_DPICHANGED

// The window's description is in pixels at 96 dots per inch; on a screen of
// more, everything is drawn that much larger. Lengths are rounded as the Qt
// window rounds at the same factor (half up), a box by its edges, so that
// boxes that touch at 96 dpi touch at every scale.
class Scale {
 public:
  static constexpr int kBaseDpi = 96;

  constexpr Scale() = default;
  explicit constexpr Scale(int dpi) : dpi_(dpi > 0 ? dpi : kBaseDpi) {}

  constexpr int Dpi() const { return dpi_; }
  // A length or coordinate at 96 dpi, at this scale (never negative ones).
  constexpr int Px(int pixels) const { return (2 * pixels * dpi_ + kBaseDpi) / (2 * kBaseDpi); }
  // A length at this scale, back at 96 dpi.
  constexpr int Base(int pixels) const { return (2 * pixels * kBaseDpi + dpi_) / (2 * dpi_); }
  RECT Of(const window::Box& box) const {
    return {Px(box.x), Px(box.y), Px(box.x + box.width), Px(box.y + box.height)};
  }

  friend constexpr bool operator==(const Scale&, const Scale&) = default;

 private:
  int dpi_ = kBaseDpi;
};

// The dots per inch of the monitor `window` is on, where the system tells
// each window's (Windows 10 on); elsewhere the system's.
int WindowDpi(HWND window);
// The system's dots per inch: the primary monitor's when the user signed in.
int SystemDpi();

// The outer size of a window of this style whose client area is `width` x
// `height`, its frame drawn at `dpi`.
SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, int dpi);

// `picture` at `scale`, each pixel taken from the nearest one, as Qt draws
// a picture on a scaled window.
// Throws CreationError when the system cannot make it.
Bitmap ScaledPicture(HBITMAP picture, const Scale& scale);

}  // namespace zephran::win32
