#pragma once

#include "platform/windows_api.h"
#include "win32/gdi.h"
#include "win32/scale.h"

namespace zephran::win32 {

// The client area as it looks under the controls: the window's colour, then
// its picture at its own size from the top-left corner (neither stretched
// nor tiled), both at the screen's scale. The window paints from it and each
// label copies its part, so the picture is drawn once per scale.
class Backdrop {
 public:
  // Loads the picture; throws CreationError when the system refuses.
  explicit Backdrop(HINSTANCE instance);

  // Draws the backdrop for `window`'s screen, at the description's size at
  // `scale`; again when the scale changes.
  void Make(HWND window, const Scale& scale);

  // `area` (client coordinates) into `target` at the same place.
  void Paint(HDC target, const RECT& area) const;
  // `area` (client coordinates) into `target` at its origin.
  void Copy(HDC target, const RECT& area) const;

 private:
  Bitmap picture_;
  // The picture at a scale other than 96 dpi.
  Bitmap scaled_picture_;
  Bitmap bitmap_;
  // Goes before the bitmap selected into it.
  MemoryDc dc_;
};

}  // namespace zephran::win32
