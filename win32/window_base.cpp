#include "win32/window_base.h"

namespace zephran::win32 {

namespace {

HMENU ChildId(const Placement& place) {
  return reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id));
}

}  // namespace

WindowBase* WindowBase::FromHandle(HWND window) {
  return reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool WindowBase::OnNotice(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/,
                          LRESULT& /*result*/) {
  return false;
}

LRESULT WindowBase::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcW(Handle(), message, wparam, lparam);
}

void WindowBase::Create(HINSTANCE instance, const WindowClass& type, const Placement& place,
                        const char* what) {
  WNDCLASSEXW known{};
  known.cbSize = sizeof known;
  if (::GetClassInfoExW(instance, type.name, &known) == FALSE) {
    WNDCLASSEXW made{};
    made.cbSize = sizeof made;
    made.style = type.style;
    made.lpfnWndProc = type.procedure != nullptr ? type.procedure : Route;
    made.hInstance = instance;
    made.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    made.lpszClassName = type.name;
    if (::RegisterClassExW(&made) == 0) {
      throw CreationError(what);
    }
  }
  // WM_NCCREATE hands the handle over (see Route), so that even a creation
  // that fails half-way leaves nothing behind.
  Checked(
      ::CreateWindowExW(place.ex_style, type.name, place.text, place.style, place.x, place.y,
                        place.width, place.height, place.parent, ChildId(place), instance, this),
      what);
}

void WindowBase::CreateControl(HINSTANCE instance, const wchar_t* system_class,
                               const Placement& place, const char* what) {
  handle_.Reset(Checked(
      ::CreateWindowExW(place.ex_style, system_class, place.text, place.style, place.x, place.y,
                        place.width, place.height, place.parent, ChildId(place), instance, nullptr),
      what));
  // The system's controls leave this slot to the program.
  ::SetWindowLongPtrW(Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK WindowBase::Route(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<WindowBase*>(creation->lpCreateParams);
    self->handle_.Reset(window);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  WindowBase* self = FromHandle(window);
  if (self == nullptr) {
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) {
    // Destroyed with its parent: the object outlives the handle.
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->handle_.Release();
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  return self->OnMessage(message, wparam, lparam);
}

}  // namespace zephran::win32
