#include "win32/picture_check_box.h"

#include <string>

#include "platform/windows_text.h"
#include "win32/accessibility.h"
#include "win32/colours.h"
#include "win32/gdi.h"

namespace zephran::win32 {

namespace {

// Copies a picture centred into a rectangle, moved by `shift` pixels.
void DrawCentred(HDC target, HBITMAP picture, const RECT& area, int shift) {
  BITMAP size{};
  ::GetObjectW(picture, sizeof size, &size);
  const MemoryDc source(::CreateCompatibleDC(target));
  if (source.Get() == nullptr) {
    return;  // the system is short of memory; the next paint tries again
  }
  const Selection in(source.Get(), picture);
  const int x = area.left + (area.right - area.left - size.bmWidth) / 2 + shift;
  const int y = area.top + (area.bottom - area.top - size.bmHeight) / 2 + shift;
  ::BitBlt(target, x, y, size.bmWidth, size.bmHeight, source.Get(), 0, 0, SRCCOPY);
}

}  // namespace

PictureCheckBox::PictureCheckBox(HINSTANCE instance, HWND parent, int id,
                                 const window::ControlDescription& control, const RECT& box,
                                 CheckPictures pictures, const FocusCues& cues)
    : control_(control), pictures_(pictures), cues_(cues) {
  // The name is not drawn; assistive technology reads it.
  const std::wstring name = platform::Utf16FromUtf8(control.accessible_name);
  CreateControl(
      instance, L"BUTTON",
      {parent, id, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY,
       0, name.c_str(), box.left, box.top, box.right - box.left, box.bottom - box.top},
      "a check box");
  AttachAccessibility(Handle(), control.id, [this](window::ControlId) { return Value(); });
}

void PictureCheckBox::Place(const RECT& box, CheckPictures pictures) {
  pictures_ = pictures;
  ::MoveWindow(Handle(), box.left, box.top, box.right - box.left, box.bottom - box.top, TRUE);
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void PictureCheckBox::SetValue(int value) {
  value_ = value;
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

bool PictureCheckBox::OnNotice(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_DRAWITEM) {
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    result = TRUE;
    return true;
  }
  if (message != WM_COMMAND) {
    return false;
  }
  // A quick second click comes as a double-click; it toggles too.
  if (HIWORD(wparam) == BN_CLICKED || HIWORD(wparam) == BN_DOUBLECLICKED) {
    SetValue(value_ == 1 ? 0 : 1);
  }
  result = 0;
  return true;
}

void PictureCheckBox::Draw(const DRAWITEMSTRUCT& item) const {
  const bool checked = value_ == 1;
  // Held down by the mouse or checked: it looks pressed.
  const bool sunken = checked || (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillColour(item.hDC, area, ToColorRef(control_.background));
  ::DrawEdge(item.hDC, &area, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  DrawCentred(item.hDC, checked ? pictures_.on : pictures_.off, area,
              sunken ? pictures_.pressed_offset : 0);
  if (cues_.Shows(item)) {
    RECT inside = area;
    ::InflateRect(&inside, -2, -2);
    ::DrawFocusRect(item.hDC, &inside);
  }
}

}  // namespace zephran::win32
