#include <QApplication>
#include <iostream>
#include <optional>

#include "platform/native_platform.h"
#include "platform/standard_descriptors.h"
#include "ui/main_page.h"
#include "ui/qt_window_services.h"
#include "ui/sdl_pad.h"
#include "ui/terminal.h"

int main(int argc, char* argv[]) {
  zephran::platform::OpenMissingStandardDescriptors();
  // Answered before Qt starts, so that they need no display.
  if (const std::optional<int> status = zephran::ui::AnswerCommandLine(argc, argv, std::cout)) {
    return *status;
  }
  QApplication application(argc, argv);
  // Lets the desktop match the window to the installed menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("zephran-loader"));
  zephran::platform::NativePlatform system;
  // Written before the message box shows, for a player who started the
  // launcher from a terminal and sees the box and the reasons side by side.
  zephran::ui::ReportMissingGame(system, std::cerr);
  zephran::ui::QtWindowServices window_services;
  zephran::ui::MainPage window(system, window_services);
  // Made before start-up: the message of a missing game answers to the pad.
  zephran::ui::SdlPad pad([&window](zephran::window::PadAction action) { window.OnPad(action); },
                          zephran::ui::SdlPad::SystemDevices());
  window.Load();
  window.ShowCentred();
  return QApplication::exec();
}
