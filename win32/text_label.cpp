#include "win32/text_label.h"

#include <memory>

#include "win32/gdi.h"

namespace zephran::win32 {

namespace {

constexpr wchar_t kLabelClass[] = L"ZephranLabel";

// Each label's own state, owned by its window from WM_NCCREATE to
// WM_NCDESTROY; a copy of it is the creation parameter.
struct Label {
  TextLabelHost* host = nullptr;
  HFONT font = nullptr;
  // How far the text is drawn below the box's top so that its first line
  // sits where other toolkits put it with the same face.
  int text_shift = 0;
  bool pressed = false;
};

Label* StateOf(HWND label) {
  return reinterpret_cast<Label*>(::GetWindowLongPtrW(label, GWLP_USERDATA));
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void Paint(HWND window, const Label& label, HDC target) {
  RECT area{};
  ::GetClientRect(window, &area);
  RECT in_parent = area;
  ::MapWindowPoints(window, ::GetParent(window), reinterpret_cast<POINT*>(&in_parent), 2);
  // Drawn off screen over the window's own picture, then copied in one go:
  // transparent, without flicker, and exact after a colour change. Without
  // a canvas (the system short of memory) the text goes straight on screen.
  MemoryDc canvas(::CreateCompatibleDC(target));
  Bitmap bitmap(canvas.Get() != nullptr ? ::CreateCompatibleBitmap(target, area.right, area.bottom)
                                        : nullptr);
  const HDC dc = bitmap.Get() != nullptr ? canvas.Get() : target;
  const Selection bitmap_in(canvas.Get(), bitmap.Get());
  label.host->CopyBackdrop(dc, in_parent);
  const Selection font_in(dc, label.font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, label.host->LabelColour(window));
  const std::wstring text = WindowText(window);
  RECT text_area = area;
  text_area.top += label.text_shift;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  if (dc != target) {
    ::BitBlt(target, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
  }
}

LRESULT OnMessage(HWND window, Label& label, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = ::BeginPaint(window, &paint);
      Paint(window, label, target);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_SETFONT:
      label.font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(label.font);
    case WM_MOUSEMOVE:
      label.host->OnLabelMouseMoved(window);
      return 0;
    case WM_LBUTTONDOWN:
      label.pressed = true;
      ::SetCapture(window);
      return 0;
    case WM_LBUTTONUP: {
      const bool pressed = label.pressed;
      if (::GetCapture() == window) {
        ::ReleaseCapture();
      }
      RECT area{};
      ::GetClientRect(window, &area);
      const POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      if (pressed && ::PtInRect(&area, point)) {
        label.host->OnLabelClicked(window);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      label.pressed = false;
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto label = std::make_unique<Label>(*static_cast<const Label*>(creation->lpCreateParams));
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(label.release()));
  }
  Label* label = StateOf(window);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete label;
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  if (label == nullptr) {
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  return OnMessage(window, *label, message, wparam, lparam);
}

void RegisterClassOnce(HINSTANCE instance) {
  WNDCLASSEXW known{};
  known.cbSize = sizeof known;
  if (::GetClassInfoExW(instance, kLabelClass, &known) != FALSE) {
    return;
  }
  // No CS_DBLCLKS: a quick second click on a label is a second click.
  WNDCLASSEXW label{};
  label.cbSize = sizeof label;
  label.lpfnWndProc = LabelProc;
  label.hInstance = instance;
  label.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  label.lpszClassName = kLabelClass;
  if (::RegisterClassExW(&label) == 0) {
    throw CreationError("the text label class");
  }
}

}  // namespace

HWND CreateTextLabel(HINSTANCE instance, HWND parent, int id, const std::wstring& text,
                     const window::Box& box, HFONT font, int text_shift, TextLabelHost& host) {
  RegisterClassOnce(instance);
  Label state{&host, font, text_shift, false};
  // Controls overlap ("Colors :" reaches under its list): each paints only
  // where no control above it lies.
  return Checked(
      ::CreateWindowExW(0, kLabelClass, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                        box.x, box.y, box.width, box.height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, &state),
      "a text label");
}

}  // namespace zephran::win32
