// The least a Win32 program must do to show a window like the launcher's:
// one of its size, with a dialog frame, that draws one caption in the
// caption's face and holds one drop-down list with one item, so that it pays
// for the font and the list as the launcher does. The yardstick for the
// Windows program's start-up time and memory (under Wine: the cost of Wine
// itself).
#include "platform/windows_api.h"

namespace {

constexpr int kWidth = 302;
constexpr int kHeight = 299;

HFONT caption_font = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = ::BeginPaint(window, &paint);
      HGDIOBJ old = ::SelectObject(dc, caption_font);
      RECT box{32, 24, 161, 57};
      ::DrawTextW(dc, L"Resolution :", -1, &box, DT_LEFT | DT_TOP | DT_NOPREFIX);
      ::SelectObject(dc, old);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  caption_font = ::CreateFontW(-21, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, L"Comic Sans MS");
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = WindowProc;
  type.hInstance = instance;
  type.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  type.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  type.lpszClassName = L"BareWindow";
  ::RegisterClassExW(&type);
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, kWidth, kHeight};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_DLGMODALFRAME);
  HWND window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, L"BareWindow", L"Bare window", kStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  HWND list = ::CreateWindowExW(0, L"COMBOBOX", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 168, 27, 81,
                                200, window, nullptr, instance, nullptr);
  ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"640x480"));
  ::SendMessageW(list, CB_SETCURSEL, 0, 0);
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::DeleteObject(caption_font);
  return static_cast<int>(message.wParam);
}
