#include "win32/gdi.h"

#include <string>

namespace zephran::win32 {

namespace {

std::string Describe(const char* what_failed) {
  return std::string("The system could not make ") + what_failed + " (error " +
         std::to_string(::GetLastError()) + ").";
}

}  // namespace

CreationError::CreationError(const char* what_failed) : std::runtime_error(Describe(what_failed)) {}

Bitmap LoadPicture(HINSTANCE instance, int id, const char* what_failed) {
  return Bitmap(Checked(static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(id),
                                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)),
                        what_failed));
}

MemoryDc MakeMemoryDc(HDC like, const char* what_failed) {
  return MemoryDc(Checked(::CreateCompatibleDC(like), what_failed));
}

WindowDc::WindowDc(HWND window)
    : window_(window), dc_(Checked(::GetDC(window), "a drawing surface")) {}

WindowDc::~WindowDc() {
  ::ReleaseDC(window_, dc_);
}

void FillColour(HDC dc, const RECT& area, COLORREF colour) {
  // An opaque empty text fills without making a brush.
  const COLORREF old = ::SetBkColor(dc, colour);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
  ::SetBkColor(dc, old);
}

}  // namespace zephran::win32
