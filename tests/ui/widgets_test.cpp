#include <QAbstractItemView>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "ui/drop_down_list.h"
#include "ui/picture_check_box.h"
#include "ui/text_label.h"

using zephran::ui::DropDownList;
using zephran::ui::PictureCheckBox;
using zephran::ui::TextLabel;

namespace {

// Text is antialiased, so `bright_green` looks for pure green hue at nearly
// full strength rather than one exact colour.
int Count(const QImage& image, QRgb rgb, bool bright_green = false) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      const bool match = bright_green
                             ? qRed(pixel) == 0 && qBlue(pixel) == 0 && qGreen(pixel) >= 0xC0
                             : (pixel & 0xFFFFFF) == rgb;
      count += match ? 1 : 0;
    }
  }
  return count;
}

QImage Render(QWidget& widget, const QRect& area = {}) {
  return widget.grab(area.isNull() ? widget.rect() : area)
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

DropDownList* MakeList(QWidget* parent = nullptr) {
  auto* list = new DropDownList(parent);
  list->AppendItem(QStringLiteral("16 bits"));
  list->AppendItem(QStringLiteral("32 bits"));
  return list;
}

}  // namespace

class WidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void labelClicksAndMovesCoverItsWholeBox();
  void listAppendingNeverSelectsNorReports();
  void listUserChoiceIsReportedOnce_data();
  void listUserChoiceIsReportedOnce();
  void listDrawsGreenOnBlackClosedAndOpen();
  void checkBoxClickTogglesValueAndPicture();
  void checkBoxOnlyOneChecks();
};

void WidgetsTest::labelClicksAndMovesCoverItsWholeBox() {
  QWidget window;
  window.resize(200, 100);
  TextLabel label(QStringLiteral("Go"), zephran::window::LabelRole::kText, &window);
  label.setGeometry(0, 0, 150, 60);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QSignalSpy moved(&label, &TextLabel::mouseMoved);
  QSignalSpy clicked(&label, &TextLabel::clicked);

  // Far from the two letters, where the label is transparent.
  const QPoint blank_corner(140, 55);
  QTest::mouseMove(&label, blank_corner);
  QTest::mouseClick(&label, Qt::LeftButton, {}, blank_corner);
  QCOMPARE(moved.count(), 1);
  QCOMPARE(clicked.count(), 1);
  // Neither the right button nor a press dragged off the label clicks.
  QTest::mouseClick(&label, Qt::RightButton, {}, blank_corner);
  QTest::mousePress(&label, Qt::LeftButton, {}, blank_corner);
  QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(170, 80));
  QCOMPARE(clicked.count(), 1);
}

void WidgetsTest::listAppendingNeverSelectsNorReports() {
  std::unique_ptr<DropDownList> list(MakeList());
  QSignalSpy made(list.get(), &DropDownList::picked);
  QCOMPARE(list->currentIndex(), -1);
  QCOMPARE(list->currentText(), QString());
  list->setCurrentIndex(1);
  list->AppendItem(QStringLiteral("64 bits"));
  QCOMPARE(list->currentIndex(), 1);
  QCOMPARE(list->itemText(2), QStringLiteral("64 bits"));
  // Selections made from code are not the player's: not reported.
  QCOMPARE(made.count(), 0);
}

void WidgetsTest::listUserChoiceIsReportedOnce_data() {
  QTest::addColumn<bool>("popup");
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("downs");
  QTest::newRow("another item in the open list") << true << 0 << 1;
  QTest::newRow("the selected item again") << true << 1 << 0;
  QTest::newRow("arrow key on the closed box") << false << 0 << 1;
}

void WidgetsTest::listUserChoiceIsReportedOnce() {
  QFETCH(bool, popup);
  QFETCH(int, start);
  QFETCH(int, downs);
  std::unique_ptr<DropDownList> list(MakeList());
  list->setCurrentIndex(start);
  list->show();
  QVERIFY(QTest::qWaitForWindowExposed(list.get()));
  QSignalSpy made(list.get(), &DropDownList::picked);

  if (popup) {
    list->showPopup();
  }
  QWidget* const keys = popup ? static_cast<QWidget*>(list->view()) : list.get();
  for (int i = 0; i < downs; ++i) {
    QTest::keyClick(keys, Qt::Key_Down);
  }
  if (popup) {
    QTest::keyClick(keys, Qt::Key_Return);
  }
  QCOMPARE(made.count(), 1);
  QCOMPARE(made.at(0).at(0).toInt(), 1);
}

void WidgetsTest::listDrawsGreenOnBlackClosedAndOpen() {
  std::unique_ptr<DropDownList> list(MakeList());
  QFont bold;
  bold.setPixelSize(13);
  bold.setBold(true);
  list->setFont(bold);
  list->setCurrentIndex(0);
  list->resize(73, 24);
  list->show();
  QVERIFY(QTest::qWaitForWindowExposed(list.get()));
  const QImage closed = Render(*list);
  QVERIFY(Count(closed, 0, /*bright_green=*/true) > 5);
  QVERIFY(Count(closed, 0x000000) > closed.width() * closed.height() / 3);

  list->showPopup();
  QAbstractItemView* const view = list->view();
  QTRY_VERIFY(view->isVisible());
  // The second row: the first is selected and drawn in highlight colours.
  const QImage open = Render(*view->viewport(), view->visualRect(list->model()->index(1, 0)));
  QVERIFY(Count(open, 0, /*bright_green=*/true) > 5);
  QVERIFY(Count(open, 0x000000) > open.width() * open.height() / 3);
  QVERIFY(view->font().bold());
  QCOMPARE(view->font().pixelSize(), 13);
}

void WidgetsTest::checkBoxClickTogglesValueAndPicture() {
  PictureCheckBox box;
  box.resize(27, 25);
  box.show();
  QVERIFY(QTest::qWaitForWindowExposed(&box));
  constexpr QRgb kCrossGreen = 0x40FF40;
  constexpr QRgb kFrameGreen = 0x00FF00;
  QCOMPARE(Count(Render(box), kCrossGreen), 0);

  for (const int expected : {1, 0}) {
    QTest::mouseClick(&box, Qt::LeftButton);
    QCOMPARE(box.Value(), expected);
    box.clearFocus();  // the focus mark would cover the face pixel looked at
    const QImage shot = Render(box);
    QCOMPARE(Count(shot, kCrossGreen) > 0, expected == 1);
    QVERIFY(Count(shot, kFrameGreen) > 0);
    // The face stays black beside the picture, which moves by one pixel
    // when the button is down.
    QCOMPARE(shot.pixel(2 + expected, 13) & 0xFFFFFF, 0u);
  }
}

void WidgetsTest::checkBoxOnlyOneChecks() {
  PictureCheckBox box;
  for (const int value : {1, 0, -1, 2, 1}) {
    box.SetValue(value);
    QCOMPARE(box.Value(), value == 1 ? 1 : 0);
  }
}

int RunWidgetsTest(int argc, char** argv) {
  WidgetsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "widgets_test.moc"
