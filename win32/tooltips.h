#pragma once

#include <list>
#include <string>
#include <string_view>

#include "platform/windows_api.h"
#include "win32/gdi.h"
#include "win32/window_base.h"

namespace zephran::win32 {

// The window's one tooltip control, from the common controls, which are
// loaded for it alone. Where they cannot be loaded or the control cannot be
// made, the window goes without tips: Add does nothing.
class Tooltips final : public WindowBase {
 public:
  Tooltips(HINSTANCE instance, HWND owner);
  ~Tooltips() override = default;

  // Shows `text` while the pointer rests on `control`, a child of the owner.
  // Nothing for an empty text.
  void Add(HWND control, std::string_view text);

  // The tips in the system's face for them at `dpi`: the common controls
  // this program uses draw them at the system's scale whatever the
  // monitor's.
  void SetDpi(int dpi);

 private:
  HINSTANCE instance_ = nullptr;
  HWND owner_ = nullptr;
  // The tool texts, read by the control while it lives; a list, so that
  // none moves.
  std::list<std::wstring> texts_;
  Font font_;
};

}  // namespace zephran::win32
