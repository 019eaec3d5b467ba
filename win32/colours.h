#pragma once

#include "platform/windows_api.h"
#include "window/description.h"

namespace zephran::win32 {

// A colour of the window's description as the system takes it.
inline COLORREF ToColorRef(window::Colour colour) {
  if (colour.system_button_text) {
    return ::GetSysColor(COLOR_BTNTEXT);
  }
  return RGB((colour.rgb >> 16) & 0xFF, (colour.rgb >> 8) & 0xFF, colour.rgb & 0xFF);
}

}  // namespace zephran::win32
