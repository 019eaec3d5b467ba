// The launcher for Windows: its one window and the message loop.
#include <exception>
#include <string>

#include "platform/native_platform.h"
#include "platform/windows_api.h"
#include "platform/windows_system_library.h"
#include "platform/windows_text.h"
#include "win32/main_window.h"
#include "win32/win32_window_services.h"

namespace {

int Run(HINSTANCE instance) {
  zephran::platform::NativePlatform system;
  zephran::win32::Win32WindowServices services;
  zephran::win32::MainWindow window(instance, system, services);
  services.Attach(window.Handle(), &window);
  window.Load();
  window.ShowCentred();
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    zephran::win32::DispatchWithFilter(&window, message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  // Before any library is loaded after start.
  zephran::platform::LimitLibrarySearch();
  try {
    return Run(instance);
  } catch (const std::exception& error) {
    // The window could not be built whole (the system out of memory or
    // handles): say so rather than show half a window.
    const std::wstring text = zephran::platform::Utf16FromUtf8(error.what());
    ::MessageBoxW(nullptr, text.c_str(), L"Zephran Loader+", MB_OK | MB_ICONERROR);
    return 1;
  }
}
