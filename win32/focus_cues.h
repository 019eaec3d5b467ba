#pragma once

#include "platform/windows_api.h"

namespace zephran::win32 {

// Whether the window's owner-drawn controls draw their focus marks: only
// once a key has been pressed in the window. Windows keeps a window's marks
// hidden until then (its UI state); Wine keeps no such state and starts with
// them shown. This flag gives both the same behaviour.
class FocusCues {
 public:
  // True the first time only: the window then lets the system show its
  // marks too.
  bool NoteKeyboardUsed() {
    const bool first = !keyboard_used_;
    keyboard_used_ = true;
    return first;
  }

  // The pad's cursor stands elsewhere: the focused control shows no mark.
  void Hide(bool hidden) { hidden_ = hidden; }

  bool Shows(const DRAWITEMSTRUCT& item) const {
    if (!keyboard_used_ || hidden_ ||
        (item.itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) != ODS_FOCUS) {
      return false;
    }
    const auto state = ::SendMessageW(item.hwndItem, WM_QUERYUISTATE, 0, 0);
    return (state & UISF_HIDEFOCUS) == 0;
  }

 private:
  bool keyboard_used_ = false;
  bool hidden_ = false;
};

}  // namespace zephran::win32
