#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "core/window_services.h"
#include "platform/platform.h"
#include "ui/main_page.h"

using zephran::ui::DropDownList;
using zephran::ui::MainPage;
using zephran::ui::PictureCheckBox;
using zephran::ui::TextLabel;

namespace {

namespace zp = zephran::platform;

// Laying out the window must not touch the operating system: every service
// here answers with nothing, and a message would be recorded.
class FakePlatform : public zp::Platform, public zephran::core::WindowServices {
 public:
  std::vector<std::string> ReadProfileStrings(const std::vector<zp::ProfileKey>& keys,
                                              std::string_view fallback, std::size_t,
                                              const std::string&) override {
    return std::vector<std::string>(keys.size(), std::string(fallback));
  }
  std::string ReadProfileString(std::string_view, std::string_view, std::string_view fallback,
                                std::size_t, const std::string&) override {
    return std::string(fallback);
  }
  bool WriteProfileString(std::string_view, std::string_view, std::string_view,
                          const std::string&) override {
    return false;
  }
  zp::SaveResult WriteProfileStrings(const std::vector<zp::ProfileValue>&,
                                     const std::string&) override {
    return {};
  }
  std::string FirstDirEntry(const std::string&, unsigned) override { return {}; }
  void FinishInterruptedSave(const std::string&) override {}
  void SetNormalAttributes(const std::string&) override {}
  zp::StartResult StartProgram(const zp::CommandLine&, zp::WindowStyle) override { return {}; }
  void ShowMessage(std::string_view prompt, std::string_view) override {
    messages.emplace_back(prompt);
  }
  void PumpEvents() override {}
  void HideWindow() override {}
  void RestoreWindow() override {}
  std::string CheckStart(const zp::CommandLine&) override { return {}; }
  zp::StartWatch WatchStart(std::chrono::milliseconds) override { return {}; }
  zp::CommandLine TextViewerCommand(const std::string&) override { return {}; }
  void EndProgram() override {}
  std::string ProgramFolder() override { return {}; }

  std::vector<std::string> messages;
};

// 0xE0E0E0 give or take antialiasing at the edges of strokes.
bool IsNearGrey(QRgb pixel) {
  for (const int channel : {qRed(pixel), qGreen(pixel), qBlue(pixel)}) {
    if (channel < 0xD8 || channel > 0xE8) {
      return false;
    }
  }
  return true;
}

bool IsBluish(QRgb pixel) {
  return qBlue(pixel) > qRed(pixel) + 20 && qBlue(pixel) > qGreen(pixel) + 20;
}

}  // namespace

class MainPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { page_ = std::make_unique<MainPage>(platform_, platform_); }
  void cleanup() { page_.reset(); }

  void window();
  void controls_data();
  void controls();
  void textFitsItsBox();
  void startsWithDesignedContents();
  void listsAndCheckBoxesLieOverLabels();
  void tabCycle_data();
  void tabCycle();
  void rendering();

 private:
  QWidget* Control(const QString& name) const {
    return page_->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
  }
  void ShowAndActivate();

  FakePlatform platform_;
  std::unique_ptr<MainPage> page_;
};

void MainPageTest::ShowAndActivate() {
  page_->ShowCentred();
  QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
  // The offscreen platform has no window manager to activate the window.
  QApplication::setActiveWindow(page_.get());
  QTRY_COMPARE(QApplication::activeWindow(), page_.get());
  // Drawn once: the window makes its faces known as it first paints.
  page_->repaint();
}

void MainPageTest::window() {
  QCOMPARE(page_->windowTitle(), QStringLiteral("Zephran Loader+"));
  QCOMPARE(page_->minimumSize(), QSize(302, 299));
  QCOMPARE(page_->maximumSize(), QSize(302, 299));
  const Qt::WindowFlags flags = page_->windowFlags();
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint) && flags.testFlag(Qt::CustomizeWindowHint));
  QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  const QList<QSize> icon_sizes = page_->windowIcon().availableSizes();
  QVERIFY(icon_sizes.contains(QSize(16, 16)) && icon_sizes.contains(QSize(32, 32)));
  QCOMPARE(page_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 15);
  ShowAndActivate();
  QCOMPARE(page_->size(), QSize(302, 299));
  QVERIFY(platform_.messages.empty());
}

void MainPageTest::controls_data() {
  // font: face, pixel size, then any of bold, italic, underline.
  QTest::addColumn<QRect>("box");
  QTest::addColumn<QString>("font");
  QTest::addColumn<QColor>("colour");
  QTest::addColumn<QString>("tooltip");
  QTest::addColumn<QString>("spoken");
  const QString caption_font = "comic 21 bold italic";
  const QColor grey(0xE0, 0xE0, 0xE0);
  const QString resolution = "Select the resolution of the game";
  const QString windowed = "Enable windowed mode (a black edge appears around the screen)";
  const QString cinema = "Enable cinemascope feature (looks like 16/9)";
  const QString colour = "Select color depth";
  const QColor button_text = QApplication::palette().color(QPalette::ButtonText);
  auto row = [](const char* name, QRect box, QString font, QColor colour, QString tooltip,
                QString spoken) {
    QTest::newRow(name) << box << font << colour << tooltip << spoken;
  };
  row("ListCol", {144, 180, 73, 24}, "sans 13 bold", {}, colour, "Colors");
  row("ModeFenet", {32, 62, 27, 25}, "", {}, windowed, "Windowed mode");
  row("ModeCinema", {32, 102, 27, 25}, "", {}, cinema, "Cinemascope mode");
  row("ModeSousT", {32, 142, 27, 25}, "", {}, "Enable sub-titles", "Sub-titles");
  row("ListSlot", {136, 264, 129, 24}, "sans 13 bold", {}, "Select a saved game", "Saved game");
  row("ListChoixResol", {168, 27, 81, 24}, "sans 13 bold", {}, resolution, "Resolution");
  row("TextCol", {56, 176, 105, 33}, caption_font, grey, colour, "Colors");
  row("Lien_txt", {168, 0, 65, 17}, "sans 11 underline", {0x80, 0xFF, 0xFF}, "What you must know",
      "Read-me.txt");
  row("beta", {48, 0, 121, 17}, "sans 11", Qt::white, "", "\xC2\xA9 2026 Zephran fans");
  row("BoutLancerNouveau", {96, 220, 105, 33}, "comic 21 bold", Qt::black, "Launch a new game",
      "New game");
  row("BoutLoad", {64, 260, 65, 33}, "comic 21 bold", button_text, "Load the game you've selected",
      "Load");
  row("TexteST", {72, 140, 145, 25}, caption_font, grey, "Enable sub-titles", "Sub-titles");
  row("TexteCinema", {72, 100, 217, 33}, caption_font, grey, cinema, "Cinemascope mode");
  row("TextFenetre", {72, 60, 177, 33}, caption_font, grey, windowed, "Windowed mode");
  row("TextResol", {32, 24, 129, 33}, caption_font, grey, resolution, "Resolution");
}

void MainPageTest::controls() {
  QFETCH(QRect, box);
  QFETCH(QString, font);
  QFETCH(QColor, colour);
  QFETCH(QString, tooltip);
  QFETCH(QString, spoken);
  QWidget* const control = Control(QTest::currentDataTag());
  QVERIFY(control != nullptr);
  QCOMPARE(control->toolTip(), tooltip);
  QCOMPARE(control->accessibleName(), spoken);
  QCOMPARE(control->accessibleDescription(), tooltip);
  ShowAndActivate();
  QCOMPARE(control->geometry(), box);
  QVERIFY(control->isVisible() && control->isEnabled());
  QVERIFY(!control->testAttribute(Qt::WA_SetCursor));

  if (auto* label = qobject_cast<TextLabel*>(control)) {
    QCOMPARE(label->TextColour(), colour);
    QVERIFY(!label->autoFillBackground());
  }
  if (font.isEmpty()) {
    return;
  }
  const QStringList parts = font.split(' ');
  const QFont actual = control->font();
  const QFontInfo resolved(actual);
  QCOMPARE(actual.pixelSize(), parts[1].toInt());
  QCOMPARE(resolved.pixelSize(), parts[1].toInt());
  QCOMPARE(resolved.bold(), parts.contains("bold"));
  QCOMPARE(actual.weight(), parts.contains("bold") ? QFont::Bold : QFont::Normal);
  QCOMPARE(actual.italic(), parts.contains("italic"));
  QCOMPARE(actual.underline(), parts.contains("underline"));
  // The carried faces, whatever the machine holds (the test runs under a
  // font configuration of its own, with DejaVu alone).
  QCOMPARE(resolved.family(), QString(parts[0] == "comic" ? "Comic Neue" : "Liberation Sans"));
}

void MainPageTest::textFitsItsBox() {
  ShowAndActivate();
  // Items the lists show closed, the slot list with its longest fixed item.
  const QStringList slot_items = {"8 ----------"};
  for (DropDownList* list : {page_->ListChoixResol, page_->ListCol, page_->ListSlot}) {
    const QFontMetrics metrics(list->font());
    QStringList items = list == page_->ListSlot ? slot_items : QStringList();
    for (int i = 0; i < list->count(); ++i) {
      items << list->itemText(i);
    }
    for (const QString& item : items) {
      QVERIFY2(metrics.horizontalAdvance(item) <= list->TextBox().width(),
               qPrintable(list->objectName() + ": " + item));
      QVERIFY(metrics.height() <= list->TextBox().height());
    }
  }
  // A label wraps at word boundaries and cuts what falls below its box: the
  // whole text must lie inside the box.
  for (TextLabel* label : page_->findChildren<TextLabel*>()) {
    const QRect needed =
        QFontMetrics(label->font())
            .boundingRect(QRect(QPoint(0, 0), label->size()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label->text());
    QVERIFY2(needed.width() <= label->width() &&
                 label->heightForWidth(label->width()) <= label->height(),
             qPrintable(label->objectName()));
  }
}

void MainPageTest::startsWithDesignedContents() {
  const QStringList label_texts = {
      "TextResol",   "Resolution :",     "TextFenetre",       "Windowed mode",
      "TexteCinema", "Cinemascope mode", "TexteST",           "Sub-titles",
      "TextCol",     "Colors :",         "BoutLancerNouveau", "New game",
      "BoutLoad",    "Load :",           "Lien_txt",          "Read-me.txt"};
  for (qsizetype i = 0; i < label_texts.size(); i += 2) {
    QCOMPARE(qobject_cast<TextLabel*>(Control(label_texts[i]))->text(), label_texts[i + 1]);
  }
  const QList<QPair<DropDownList*, QStringList>> lists = {
      {page_->ListChoixResol, {"640x480", "512x384", "400x300", "320x240"}},
      {page_->ListCol, {"16 bits", "32 bits"}},
      {page_->ListSlot, {}}};
  for (const auto& [list, items] : lists) {
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) {
      shown.append(list->itemText(i));
    }
    QCOMPARE(shown, items);
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->currentText(), QString());
    QVERIFY(!list->isEditable());
  }
  for (const PictureCheckBox* box : {page_->ModeFenet, page_->ModeCinema, page_->ModeSousT}) {
    QCOMPARE(box->Value(), 0);
  }
}

void MainPageTest::listsAndCheckBoxesLieOverLabels() {
  // "Colors :" reaches under ListCol between x 144 and 160.
  QCOMPARE(page_->childAt(150, 190), page_->ListCol);
  QCOMPARE(page_->childAt(100, 190), page_->TextCol);
}

void MainPageTest::tabCycle_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<QStringList>("visits");
  QTest::newRow("Tab") << int(Qt::Key_Tab)
                       << QStringList{"ListCol",    "ListChoixResol", "ListSlot", "ModeSousT",
                                      "ModeCinema", "ModeFenet",      "ListCol"};
  QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab)
                             << QStringList{"ModeCinema",     "ModeSousT", "ListSlot",
                                            "ListChoixResol", "ListCol",   "ModeFenet",
                                            "ModeCinema"};
}

void MainPageTest::tabCycle() {
  QFETCH(int, key);
  QFETCH(QStringList, visits);
  ShowAndActivate();
  page_->ModeFenet->setFocus(Qt::OtherFocusReason);
  QTRY_COMPARE(QApplication::focusWidget(), page_->ModeFenet);
  QStringList visited;
  for (qsizetype i = 0; i < visits.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    visited.append(QApplication::focusWidget()->objectName());
  }
  QCOMPARE(visited, visits);
}

void MainPageTest::rendering() {
  ShowAndActivate();
  page_->setFocus();  // no focus mark over a check box
  const QImage shot = page_->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage picture = QImage(":/assets/background.bmp").convertToFormat(QImage::Format_RGB32);
  QCOMPARE(shot.size(), QSize(302, 299));
  QCOMPARE(picture.size(), QSize(300, 300));

  // Not stretched: the window's two extra columns stay black.
  for (int y = 0; y < 299; y += 13) {
    QCOMPARE(shot.pixel(300, y) & 0xFFFFFF, 0u);
    QCOMPARE(shot.pixel(301, y) & 0xFFFFFF, 0u);
  }
  // ModeFenet's off picture, centred in its box: the middle of its frame's top.
  QCOMPARE(shot.pixel(32 + 3 + 10, 62 + 2 + 1) & 0xFFFFFF, 0x00FF00u);
  // Below the letters of the two text buttons the blue bars show through.
  for (const QPoint point : {QPoint(150, 250), QPoint(190, 251), QPoint(70, 291)}) {
    QCOMPARE(shot.pixel(point), picture.pixel(point));
    QVERIFY(IsBluish(shot.pixel(point)));
  }
  // "Resolution :" is drawn in light grey inside its box.
  int grey_pixels = 0;
  for (int y = 24; y < 24 + 33; ++y) {
    for (int x = 32; x < 32 + 129; ++x) {
      const QRgb pixel = shot.pixel(x, y);
      grey_pixels += IsNearGrey(pixel) ? 1 : 0;
    }
  }
  QVERIFY2(grey_pixels > 50, qPrintable(QString::number(grey_pixels)));
}

int RunMainPageTest(int argc, char** argv) {
  MainPageTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_page_test.moc"
