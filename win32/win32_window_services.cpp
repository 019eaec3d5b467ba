#include "win32/win32_window_services.h"

#include <string>

#include "platform/windows_text.h"

namespace zephran::win32 {

void DispatchWithFilter(MessageFilter* filter, MSG& message) {
  if (filter != nullptr && filter->Filter(message)) {
    return;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

namespace {

BOOL CALLBACK PressOk(HWND window, LPARAM /*unused*/) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (::lstrcmpW(name, L"#32770") != 0 || ::IsWindowVisible(window) == FALSE) {
    return TRUE;
  }
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return FALSE;
}

}  // namespace

void AnswerMessageBox() {
  ::EnumThreadWindows(::GetCurrentThreadId(), PressOk, 0);
}

void Win32WindowServices::ShowMessage(std::string_view prompt, std::string_view title) {
  const std::wstring wide_prompt = platform::Utf16FromUtf8(prompt);
  const std::wstring wide_title = platform::Utf16FromUtf8(title);
  // Before the window is shown (the missing-installation message) the box
  // stands alone; a hidden owner would keep it off the task bar.
  HWND owner = window_ != nullptr && ::IsWindowVisible(window_) ? window_ : nullptr;
  ::MessageBoxW(owner, wide_prompt.c_str(), wide_title.c_str(), MB_OK);
}

void Win32WindowServices::HideWindow() {
  if (window_ != nullptr) {
    ::ShowWindow(window_, SW_HIDE);
  }
}

void Win32WindowServices::RestoreWindow() {
  if (window_ != nullptr) {
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
  }
}

void Win32WindowServices::PumpEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (message.message == WM_QUIT) {
      // For the main loop, which ends on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchWithFilter(filter_, message);
  }
}

}  // namespace zephran::win32
