#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "ui/qt_window_services.h"

using zephran::ui::QtWindowServices;

class QtWindowServicesTest : public QObject {
  Q_OBJECT

 private slots:
  void messagesGoThroughThePresenter();
  void defaultPresenterShowsPlainOkBox();
  void pumpEventsRunsPostedEvents();
};

void QtWindowServicesTest::messagesGoThroughThePresenter() {
  QtWindowServices platform;
  std::vector<std::pair<std::string, std::string>> shown;
  platform.message_presenter = [&](std::string_view prompt, std::string_view title) {
    shown.emplace_back(prompt, title);
  };
  platform.ShowMessage("Bad directory !", "Zephran Loader+");
  platform.ShowMessage("Caf\xC3\xA9", "");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Bad directory !", "Zephran Loader+"}, {"Caf\xC3\xA9", ""}};
  QVERIFY(shown == expected);
}

void QtWindowServicesTest::defaultPresenterShowsPlainOkBox() {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Warning;
  qsizetype buttons = 0;
  // The box is modal: inspect and close it from inside its own event loop.
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->buttons().size();
    box->button(QMessageBox::Ok)->click();
  });
  QtWindowServices platform;
  platform.ShowMessage("Save <1> is empty \xE2\x80\x93 pick another", "Zephran Loader+");

  QCOMPARE(title, QStringLiteral("Zephran Loader+"));
  QCOMPARE(text, QString::fromUtf8("Save <1> is empty \xE2\x80\x93 pick another"));
  QCOMPARE(icon, QMessageBox::NoIcon);
  QCOMPARE(buttons, 1);
}

void QtWindowServicesTest::pumpEventsRunsPostedEvents() {
  QObject receiver;
  bool ran = false;
  QMetaObject::invokeMethod(
      &receiver, [&] { ran = true; }, Qt::QueuedConnection);
  QVERIFY(!ran);
  QtWindowServices platform;
  platform.PumpEvents();
  QVERIFY(ran);
}

int RunQtWindowServicesTest(int argc, char** argv) {
  QtWindowServicesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "qt_window_services_test.moc"
