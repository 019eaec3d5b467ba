// The least a Qt program must do to show a window like the launcher's: one
// of its size that draws one caption in the launcher's caption face and holds
// one drop-down list, so that it pays for the font stack as the launcher
// does. The yardstick for the launcher's own start-up time and memory.
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare window"));
  window.setFixedSize(302, 299);

  QLabel caption(QStringLiteral("Resolution :"), &window);
  QFont comic(QStringLiteral("Comic Neue"));
  comic.setPixelSize(21);
  comic.setBold(true);
  comic.setItalic(true);
  caption.setFont(comic);
  caption.setGeometry(32, 24, 129, 33);

  QComboBox list(&window);
  list.addItem(QStringLiteral("640x480"));
  list.setGeometry(168, 27, 81, 24);

  window.show();
  return QApplication::exec();
}
