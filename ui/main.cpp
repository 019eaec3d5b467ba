#include <QApplication>

#include "ui/main_page.h"
#include "ui/qt_platform.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Lets the desktop match the window to the installed menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("zephran-loader"));
  zephran::ui::QtPlatform platform;
  zephran::ui::MainPage window(platform);
  window.Load();
  window.ShowCentred();
  return QApplication::exec();
}
