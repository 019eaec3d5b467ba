// The least a Win32 program must do to show a window made of the launcher's
// standard controls: one of its size with a dialog frame, nine static
// captions in the caption's face, three check boxes, three drop-down lists
// filled with 4, 2 and 8 items and one tooltip control with a tool for each
// control that has a tip, all placed from the window's description, then the
// message loop. Nothing else: no pictures, no faces of its own, no drawing.
// The yardstick for the Windows program's start-up time and memory (under
// Wine: the cost of Wine and of the system's controls).
#include <string>

#include "platform/windows_api.h"
#include "platform/windows_text.h"
#include "window/description.h"

// After windows.h, which it needs.
#include <commctrl.h>

namespace {

using zephran::platform::Utf16FromUtf8;
using zephran::window::ControlDescription;
using zephran::window::ControlKind;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

HWND MakeControl(HWND window, HINSTANCE instance, const ControlDescription& control, HFONT font) {
  const auto& box = control.box;
  const std::wstring text =
      Utf16FromUtf8(control.kind == ControlKind::kLabel ? control.text : control.accessible_name);
  switch (control.kind) {
    case ControlKind::kLabel: {
      HWND label = ::CreateWindowExW(0, L"STATIC", text.c_str(), kChild | SS_NOPREFIX, box.x, box.y,
                                     box.width, box.height, window, nullptr, instance, nullptr);
      ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      return label;
    }
    case ControlKind::kCheckBox:
      return ::CreateWindowExW(0, L"BUTTON", text.c_str(), kChild | WS_TABSTOP | BS_AUTOCHECKBOX,
                               box.x, box.y, box.width, box.height, window, nullptr, instance,
                               nullptr);
    case ControlKind::kList:
      break;
  }
  HWND list = ::CreateWindowExW(0, L"COMBOBOX", nullptr, kChild | WS_TABSTOP | CBS_DROPDOWNLIST,
                                box.x, box.y, box.width, 200, window, nullptr, instance, nullptr);
  // The save list holds its eight slots.
  const int slots = control.items.empty() ? 8 : 0;
  for (const std::string_view item : control.items) {
    const std::wstring words = Utf16FromUtf8(item);
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(words.c_str()));
  }
  for (int slot = 1; slot <= slots; ++slot) {
    const std::wstring words = std::to_wstring(slot) + L" - empty";
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(words.c_str()));
  }
  ::SendMessageW(list, CB_SETCURSEL, 0, 0);
  return list;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  HFONT caption_font = ::CreateFontW(-21, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, L"Comic Sans MS");
  const INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&common);
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = WindowProc;
  type.hInstance = instance;
  type.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  type.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  type.lpszClassName = L"BareWindow";
  ::RegisterClassExW(&type);
  const auto& description = zephran::window::MainPageDescription();
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT frame{0, 0, description.client_width, description.client_height};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_DLGMODALFRAME);
  HWND window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, L"BareWindow", L"Bare window", kStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  HWND tooltip =
      ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
  for (const ControlDescription& control : description.controls) {
    HWND made = MakeControl(window, instance, control, caption_font);
    if (control.tooltip.empty()) {
      continue;
    }
    std::wstring tip = Utf16FromUtf8(control.tooltip);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(made);
    tool.lpszText = tip.data();
    ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
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
