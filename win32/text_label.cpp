#include "win32/text_label.h"

#include "platform/windows_text.h"
#include "win32/accessibility.h"
#include "win32/colours.h"
#include "win32/gdi.h"
#include "win32/scaled_text.h"

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
                     const window::ControlDescription& control, const Scale& scale,
                     const ScaledFace& face, int text_shift, TextLabelHost& host)
    : control_(control),
      host_(host),
      scale_(scale),
      face_(face),
      text_shift_(text_shift),
      colour_(ToColorRef(control.text_colour)) {
  const std::wstring text = platform::Utf16FromUtf8(control.text);
  const RECT box = scale.Of(control.box);
  // Controls overlap ("Colors :" reaches under its list): each paints only
  // where no control above it lies.
  Create(instance, kLabelClass,
         {parent, id, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, text.c_str(), box.left, box.top,
          box.right - box.left, box.bottom - box.top},
         "a text label");
  AttachAccessibility(Handle(), control.id, {});
}

void TextLabel::Place(const Scale& scale, const ScaledFace& face) {
  scale_ = scale;
  face_ = face;
  const RECT box = scale.Of(control_.box);
  ::MoveWindow(Handle(), box.left, box.top, box.right - box.left, box.bottom - box.top, TRUE);
  ::InvalidateRect(Handle(), nullptr, FALSE);
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
  host_.CopyBackdrop(dc, in_parent, control_.id);
  DrawWords(dc, {0, 0});
  if (focus_mark_) {
    ::DrawFocusRect(dc, &area);
  }
  if (dc != target) {
    ::BitBlt(target, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
  }
}

void TextLabel::DrawWords(HDC target, POINT origin) const {
  RECT area{};
  ::GetClientRect(Handle(), &area);
  ::OffsetRect(&area, origin.x, origin.y);
  ::SetBkMode(target, TRANSPARENT);
  ::SetTextColor(target, colour_);
  DrawScaledText(target, WindowText(Handle()), area, text_shift_, face_, scale_, DT_WORDBREAK);
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
    host_.OnLabelClicked(control_.id);
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
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(face_.scaled);
    case WM_MOUSEMOVE:
      host_.OnLabelMouseMoved(control_.id);
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
