// The Win32 message box and event pump, answered and watched from the test
// itself.
#include "win32/win32_window_services.h"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace zephran::win32 {
namespace {

struct SeenBox {
  std::wstring text;
  int buttons = 0;
  bool icon = false;
};

BOOL CALLBACK CountChild(HWND child, LPARAM data) {
  auto* seen = reinterpret_cast<SeenBox*>(data);
  wchar_t kind[32] = {};
  ::GetClassNameW(child, kind, 32);
  const LONG style = ::GetWindowLongW(child, GWL_STYLE);
  if (::lstrcmpiW(kind, L"Button") == 0 && (style & WS_VISIBLE) != 0) {
    ++seen->buttons;
  }
  if (::lstrcmpiW(kind, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
      (style & WS_VISIBLE) != 0 && ::SendMessageW(child, STM_GETICON, 0, 0) != 0) {
    seen->icon = true;
  }
  return TRUE;
}

// Waits for the box titled `title`, notes what it shows and presses OK.
SeenBox AnswerBox(const std::wstring& title) {
  SeenBox seen;
  for (int attempt = 0; attempt < 200; ++attempt) {
    HWND box = ::FindWindowW(L"#32770", title.c_str());
    if (box != nullptr && ::IsWindowVisible(box)) {
      wchar_t text[256] = {};
      ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the prompt's static
      seen.text = text;
      ::EnumChildWindows(box, CountChild, reinterpret_cast<LPARAM>(&seen));
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
      return seen;
    }
    ::Sleep(25);
  }
  return seen;
}

TEST(Win32WindowServicesTest, MessageBoxShowsTheUtf8TextsWithOneOkButtonAndNoIcon) {
  Win32WindowServices services;
  const std::wstring title = L"Caution ! \u00e9";
  SeenBox seen;
  std::thread answer([&] { seen = AnswerBox(title); });
  services.ShowMessage("The game you've selected is empty. \xCE\x96", "Caution ! \xC3\xA9");
  answer.join();
  EXPECT_EQ(seen.text, L"The game you've selected is empty. \u0396");
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_FALSE(seen.icon);
}

// Records what reaches it; takes the messages it is told to.
class Recorder final : public MessageFilter {
 public:
  bool Filter(MSG& message) override {
    if (message.message == WM_APP + 1) {
      ++taken;
      return true;
    }
    return false;
  }
  int taken = 0;
};

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_APP + 2) {
    ++*reinterpret_cast<int*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

TEST(Win32WindowServicesTest, PumpRunsPendingMessagesThroughTheFilterAndKeepsAQuit) {
  WNDCLASSW kind{};
  kind.lpfnWndProc = CountingProc;
  kind.hInstance = ::GetModuleHandleW(nullptr);
  kind.lpszClassName = L"ZephranPumpTest";
  ::RegisterClassW(&kind);
  HWND target = ::CreateWindowW(L"ZephranPumpTest", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                kind.hInstance, nullptr);
  int dispatched = 0;
  ::SetWindowLongPtrW(target, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));

  Recorder filter;
  Win32WindowServices services;
  services.Attach(target, &filter);
  ::PostMessageW(target, WM_APP + 1, 0, 0);
  ::PostMessageW(target, WM_APP + 2, 0, 0);
  ::PostQuitMessage(7);
  services.PumpEvents();
  EXPECT_EQ(filter.taken, 1);
  EXPECT_EQ(dispatched, 1);

  // The quit comes last and stays for the main loop.
  MSG quit{};
  ASSERT_NE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), FALSE);
  EXPECT_EQ(quit.wParam, 7u);
  ::DestroyWindow(target);
}

}  // namespace
}  // namespace zephran::win32
