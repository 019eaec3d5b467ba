#include "win32/scale.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/windows_system_library.h"

namespace zephran::win32 {

namespace {

// A user32 function of newer systems, nullptr where it is missing. user32
// is the program's own import, so this loads nothing.
template <typename Function>
Function User32Function(const char* name) {
  return platform::NewerSystemFunction<Function>(platform::SystemLibrary::kUser, name);
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

}  // namespace

int WindowDpi(HWND window) {
  static const auto get_dpi_for_window = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr) {
    if (const UINT dpi = get_dpi_for_window(window); dpi != 0) {
      return static_cast<int>(dpi);
    }
  }
  return SystemDpi();
}

int SystemDpi() {
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) {
    return Scale::kBaseDpi;
  }
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : Scale::kBaseDpi;
}

SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, int dpi) {
  static const auto adjust_for_dpi =
      User32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, width, height};
  if (adjust_for_dpi == nullptr ||
      adjust_for_dpi(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi)) == FALSE) {
    ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

Bitmap ScaledPicture(HBITMAP picture, const Scale& scale) {
  BITMAP size{};
  ::GetObjectW(picture, sizeof size, &size);
  const int width = size.bmWidth;
  const int height = size.bmHeight;
  const int scaled_width = scale.Px(width);
  const int scaled_height = scale.Px(height);
  // Both as 32-bit rows from the top, read and written by hand: the
  // system's stretching picks its pixels its own way, which differs between
  // systems and from the Qt window's.
  BITMAPINFO format{};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> source(static_cast<std::size_t>(width) * height);
  const WindowDc screen(nullptr);
  if (::GetDIBits(screen.Get(), picture, 0, static_cast<UINT>(height), source.data(), &format,
                  DIB_RGB_COLORS) == 0) {
    throw CreationError("a picture at the screen's scale");
  }
  BITMAPINFO scaled_format = format;
  scaled_format.bmiHeader.biWidth = scaled_width;
  scaled_format.bmiHeader.biHeight = -scaled_height;
  void* bits = nullptr;
  Bitmap scaled(
      Checked(::CreateDIBSection(screen.Get(), &scaled_format, DIB_RGB_COLORS, &bits, nullptr, 0),
              "a picture at the screen's scale"));
  auto* target = static_cast<std::uint32_t*>(bits);
  // The source pixel under each target pixel's centre, stepping through
  // the picture in 1/65536ths of a pixel as Qt's drawing does: where a
  // centre falls exactly between two pixels, both take the first.
  const int step = 0x10000 * Scale::kBaseDpi / scale.Dpi();
  const auto source_of = [step](int at, int limit) {
    return std::min((at * step + step / 2) >> 16, limit - 1);
  };
  std::vector<int> columns(static_cast<std::size_t>(scaled_width));
  for (int x = 0; x < scaled_width; ++x) {
    columns[static_cast<std::size_t>(x)] = source_of(x, width);
  }
  for (int y = 0; y < scaled_height; ++y) {
    const std::uint32_t* row =
        source.data() + static_cast<std::size_t>(source_of(y, height)) * width;
    std::uint32_t* out = target + static_cast<std::size_t>(y) * scaled_width;
    for (int x = 0; x < scaled_width; ++x) {
      out[x] = row[columns[static_cast<std::size_t>(x)]];
    }
  }
  ::GdiFlush();
  return scaled;
}

}  // namespace zephran::win32
