#pragma once

#include <stdexcept>
#include <utility>

#include "platform/windows_api.h"

namespace zephran::win32 {

// Thrown when the system refuses to make something the window needs: the
// program says so instead of showing a window with parts missing.
class CreationError : public std::runtime_error {
 public:
  // `what_failed` names the part ("the main window"); the system's error
  // code is added.
  explicit CreationError(const char* what_failed);
};

// The handle, or a CreationError naming what could not be made.
template <typename Handle>
Handle Checked(Handle handle, const char* what_failed) {
  if (handle == nullptr) {
    throw CreationError(what_failed);
  }
  return handle;
}

// Owns one handle and frees it with `Free` exactly once.
template <typename Handle, void (*Free)(Handle)>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~Owned() { Reset(); }

  Handle Get() const { return handle_; }
  // Gives the handle up without freeing it (the system freed it).
  Handle Release() { return std::exchange(handle_, nullptr); }
  void Reset(Handle handle = nullptr) {
    if (handle_ != nullptr) {
      Free(handle_);
    }
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

namespace detail {
template <typename Object>
void DeleteGdiObject(Object object) {
  ::DeleteObject(object);
}
inline void DeleteMemoryDc(HDC dc) {
  ::DeleteDC(dc);
}
inline void DestroyAccelerators(HACCEL table) {
  ::DestroyAcceleratorTable(table);
}
inline void RemoveFontResource(HANDLE fonts) {
  ::RemoveFontMemResourceEx(fonts);
}
inline void DestroyDetached(HWND window) {
  if (::IsWindow(window) != FALSE) {
    // Its procedure no longer reaches the object being destroyed, and
    // posts no quit message for a window the program outlives (tests).
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
  }
}
}  // namespace detail

template <typename Object>
using GdiObject = Owned<Object, detail::DeleteGdiObject<Object>>;
using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;
// A DC of our own (CreateCompatibleDC).
using MemoryDc = Owned<HDC, detail::DeleteMemoryDc>;
using AcceleratorTable = Owned<HACCEL, detail::DestroyAccelerators>;
using FontResource = Owned<HANDLE, detail::RemoveFontResource>;
// A window whose procedure, or whose parent, finds its object in
// GWLP_USERDATA.
using OwnedWindow = Owned<HWND, detail::DestroyDetached>;

// A picture of the program's resources as a DIB section, checked.
Bitmap LoadPicture(HINSTANCE instance, int id, const char* what_failed);

// A memory DC compatible with `like`, checked.
MemoryDc MakeMemoryDc(HDC like, const char* what_failed);

// A window's DC for the duration of a scope (GetDC / ReleaseDC).
class WindowDc {
 public:
  explicit WindowDc(HWND window);
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc();

  HDC Get() const { return dc_; }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// An object selected into a DC until the end of a scope.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (old_ != nullptr && old_ != HGDI_ERROR) {
      ::SelectObject(dc_, old_);
    }
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Fills a rectangle with one colour.
void FillColour(HDC dc, const RECT& area, COLORREF colour);

}  // namespace zephran::win32
