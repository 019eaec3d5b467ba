#include "win32/backdrop.h"

#include "win32/colours.h"
#include "win32/resources.h"
#include "window/description.h"

namespace zephran::win32 {

Backdrop::Backdrop(HINSTANCE instance)
    : picture_(LoadPicture(instance, ZEPHRAN_BACKGROUND, "the background picture")) {}

void Backdrop::Make(HWND window, const Scale& scale) {
  const window::WindowDescription& description = window::MainPageDescription();
  const int width = scale.Px(description.client_width);
  const int height = scale.Px(description.client_height);
  scaled_picture_ = scale == Scale() ? Bitmap() : ScaledPicture(picture_.Get(), scale);
  const HBITMAP shown = scaled_picture_.Get() != nullptr ? scaled_picture_.Get() : picture_.Get();
  {
    const WindowDc screen(window);
    MemoryDc dc = MakeMemoryDc(screen.Get(), "the window's background");
    Bitmap bitmap(
        Checked(::CreateCompatibleBitmap(screen.Get(), width, height), "the window's background"));
    // The DC goes before the bitmap selected into it.
    dc_.Reset();
    bitmap_ = std::move(bitmap);
    dc_ = std::move(dc);
  }
  // Stays selected for the DC's life.
  ::SelectObject(dc_.Get(), bitmap_.Get());
  const RECT all{0, 0, width, height};
  FillColour(dc_.Get(), all, ToColorRef(description.background));
  const MemoryDc picture = MakeMemoryDc(dc_.Get(), "the window's background");
  const Selection in(picture.Get(), shown);
  BITMAP size{};
  ::GetObjectW(shown, sizeof size, &size);
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
