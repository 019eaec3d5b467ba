#pragma once

#include "platform/windows_api.h"
#include "win32/gdi.h"

namespace zephran::win32 {

// Where and how a window is made.
struct Placement {
  HWND parent = nullptr;
  int id = 0;  // a child's control id
  DWORD style = 0;
  DWORD ex_style = 0;
  const wchar_t* text = nullptr;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  int width = CW_USEDEFAULT;
  int height = CW_USEDEFAULT;
};

// A window class of our own, registered the first time a window of it is
// made.
struct WindowClass {
  const wchar_t* name = nullptr;
  UINT style = 0;
  // Answers the messages that come before the window reaches its object
  // (WM_NCCREATE); WindowBase::Route hands every later one to OnMessage.
  WNDPROC procedure = nullptr;
};

// One window and the object behind it, which owns its handle: the window
// goes with the object. A window of a class of our own hands every message
// to OnMessage. A system control (a button, a combo box) keeps the system's
// procedure; what it tells its parent about itself (WM_COMMAND,
// WM_DRAWITEM, WM_MEASUREITEM) the parent hands to OnNotice.
class WindowBase {
 public:
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND Handle() const { return handle_.Get(); }

  // The object behind a window WindowBase made; nullptr for any other.
  static WindowBase* FromHandle(HWND window);

  // A notice about this control, sent to its parent. True when taken, with
  // the parent's answer in `result`.
  virtual bool OnNotice(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

 protected:
  WindowBase() = default;
  // Destroys the window; its procedure no longer reaches this object.
  virtual ~WindowBase() = default;

  // Both throw CreationError naming `what` when the system refuses.
  void Create(HINSTANCE instance, const WindowClass& type, const Placement& place,
              const char* what);
  void CreateControl(HINSTANCE instance, const wchar_t* system_class, const Placement& place,
                     const char* what);
  // Destroys the window now, while every part of the object still stands.
  void Destroy() { handle_.Reset(); }

  virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

  static LRESULT CALLBACK Route(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  OwnedWindow handle_;
};

}  // namespace zephran::win32
