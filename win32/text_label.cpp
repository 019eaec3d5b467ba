#include "win32/text_label.h"

#include "platform/windows_text.h"
#include "win32/accessibility.h"
#include "win32/colours.h"
#include "win32/gdi.h"

namespace zephran::win32 {

namespace {

// No CS_DBLCLKS: a quick second click on a label is a second click.
constexpr WindowClass kLabelClass{L"ZephranLabel", 0, nullptr};

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

TextLabel::TextLabel(HINSTANCE instance, HWND parent, int id,
                     const window::ControlDescription& control, HFONT font, int text_shift,
                     TextLabelHost& host)
    : id_(control.id),
      host_(host),
      font_(font),
      text_shift_(text_shift),
      colour_(ToColorRef(control.text_colour)) {
  const std::wstring text = platform::Utf16FromUtf8(control.text);
  const window::Box& box = control.box;
  // Controls overlap ("Colors :" reaches under its list): each paints only
  // where no control above it lies.
  Create(instance, kLabelClass,
         {parent, id, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, text.c_str(), box.x, box.y,
          box.width, box.height},
         "a text label");
  AttachAccessibility(Handle(), control.id, {});
}

void TextLabel::SetColour(COLORREF colour) {
  if (colour_ == colour) {
    return;
  }
  colour_ = colour;
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TextLabel::SetFocusMark(bool shown) {
  if (focus_mark_ != shown) {
    focus_mark_ = shown;
    ::InvalidateRect(Handle(), nullptr, FALSE);
  }
}

void TextLabel::Paint(HDC target) const {
  RECT area{};
  ::GetClientRect(Handle(), &area);
  RECT in_parent = area;
  ::MapWindowPoints(Handle(), ::GetParent(Handle()), reinterpret_cast<POINT*>(&in_parent), 2);
  // Drawn off screen over the window's own picture, then copied in one go:
  // transparent, without flicker, and exact after a colour change. Without
  // a canvas (the system short of memory) the text goes straight on screen.
  MemoryDc canvas(::CreateCompatibleDC(target));
  Bitmap bitmap(canvas.Get() != nullptr ? ::CreateCompatibleBitmap(target, area.right, area.bottom)
                                        : nullptr);
  const HDC dc = bitmap.Get() != nullptr ? canvas.Get() : target;
  const Selection bitmap_in(canvas.Get(), bitmap.Get());
  host_.CopyBackdrop(dc, in_parent);
  const Selection font_in(dc, font_);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, colour_);
  const std::wstring text = WindowText(Handle());
  RECT text_area = area;
  text_area.top += text_shift_;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  if (focus_mark_) {
    ::DrawFocusRect(dc, &area);
  }
  if (dc != target) {
    ::BitBlt(target, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
  }
}

void TextLabel::OnButtonUp(LPARAM lparam) {
  const bool pressed = pressed_;
  if (::GetCapture() == Handle()) {
    ::ReleaseCapture();
  }
  RECT area{};
  ::GetClientRect(Handle(), &area);
  const POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  if (pressed && ::PtInRect(&area, point)) {
    host_.OnLabelClicked(id_);
  }
}

LRESULT TextLabel::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = ::BeginPaint(Handle(), &paint);
      Paint(target);
      ::EndPaint(Handle(), &paint);
      return 0;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_MOUSEMOVE:
      host_.OnLabelMouseMoved(id_);
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      ::SetCapture(Handle());
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(lparam);
      return 0;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    default:
      return WindowBase::OnMessage(message, wparam, lparam);
  }
}

}  // namespace zephran::win32
