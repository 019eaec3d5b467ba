#include <QApplication>
#include <QtGlobal>

int RunWidgetsTest(int argc, char** argv);
int RunMainPageTest(int argc, char** argv);
int RunMainPageBehaviourTest(int argc, char** argv);
int RunQtWindowServicesTest(int argc, char** argv);
int RunHostileNamesTest(int argc, char** argv);
int RunSdlPadTest(int argc, char** argv);

// One program for the window's tests, so they share one QApplication.
int main(int argc, char** argv) {
  // Runnable by hand as well as from ctest: no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const QApplication application(argc, argv);
  int failures = 0;
  failures += RunWidgetsTest(argc, argv);
  failures += RunMainPageTest(argc, argv);
  failures += RunMainPageBehaviourTest(argc, argv);
  failures += RunQtWindowServicesTest(argc, argv);
  failures += RunHostileNamesTest(argc, argv);
  failures += RunSdlPadTest(argc, argv);
  return failures == 0 ? 0 : 1;
}
