#include <QApplication>

#include "platform/native_platform.h"
#include "ui/main_page.h"
#include "ui/qt_window_services.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Lets the desktop match the window to the installed menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("zephran-loader"));
  zephran::platform::NativePlatform system;
  zephran::ui::QtWindowServices window_services;
  zephran::ui::MainPage window(system, window_services);
  window.Load();
  window.ShowCentred();
  return QApplication::exec();
}
