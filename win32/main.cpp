// The launcher for Windows: its one window and the message loop.
#include "platform/native_platform.h"
#include "platform/windows_api.h"
#include "win32/main_window.h"
#include "win32/window_services.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
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
