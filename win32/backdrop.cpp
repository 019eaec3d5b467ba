#include "win32/backdrop.h"

#include "win32/colours.h"
#include "win32/resources.h"
#include "window/description.h"

namespace zephran::win32 {

Backdrop::Backdrop(HINSTANCE instance)
    : picture_(LoadPicture(instance, ZEPHRAN_BACKGROUND, "the background picture")) {}

void Backdrop::Make(HWND window) {
  const window::WindowDescription& description = window::MainPageDescription();
  {
    const WindowDc screen(window);
    dc_ = MakeMemoryDc(screen.Get(), "the window's background");
    bitmap_.Reset(Checked(
        ::CreateCompatibleBitmap(screen.Get(), description.client_width, description.client_height),
        "the window's background"));
  }
  // Stays selected for the DC's life.
  ::SelectObject(dc_.Get(), bitmap_.Get());
  const RECT all{0, 0, description.client_width, description.client_height};
  FillColour(dc_.Get(), all, ToColorRef(description.background));
  const MemoryDc picture = MakeMemoryDc(dc_.Get(), "the window's background");
  const Selection in(picture.Get(), picture_.Get());
  BITMAP size{};
  ::GetObjectW(picture_.Get(), sizeof size, &size);
  ::BitBlt(dc_.Get(), 0, 0, size.bmWidth, size.bmHeight, picture.Get(), 0, 0, SRCCOPY);
}

void Backdrop::Paint(HDC target, const RECT& area) const {
  ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc_.Get(),
           area.left, area.top, SRCCOPY);
}

void Backdrop::Copy(HDC target, const RECT& area) const {
  ::BitBlt(target, 0, 0, area.right - area.left, area.bottom - area.top, dc_.Get(), area.left,
           area.top, SRCCOPY);
}

}  // namespace zephran::win32
