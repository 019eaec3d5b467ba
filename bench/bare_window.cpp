// The least a Qt program must do to show a window the size of the launcher's:
// the yardstick for the launcher's own start-up time and memory.
#include <QApplication>
#include <QString>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare window"));
  window.setFixedSize(302, 299);
  window.show();
  return QApplication::exec();
}
