#include "ui/main_page.h"

#include <initializer_list>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QScreen>
#include <QString>

#include "ui/assets.h"
#include "ui/fonts.h"

namespace zephran::ui {

namespace {

constexpr int kClientWidth = 302;
constexpr int kClientHeight = 299;

// 15.75 pt, 9.75 pt and 8.25 pt at 96 dots per inch.
constexpr int kLargePixels = 21;
constexpr int kListPixels = 13;
constexpr int kSmallPixels = 11;

const QColor kCaptionGrey(0xE0, 0xE0, 0xE0);
const QColor kLinkCyan(0x80, 0xFF, 0xFF);

// A caption and the control it names share one tooltip.
const char* const kResolutionTip = "Select the resolution of the game";
const char* const kWindowedTip = "Enable windowed mode (a black edge appears around the screen)";
const char* const kCinemaTip = "Enable cinemascope feature (looks like 16/9)";
const char* const kSubTitlesTip = "Enable sub-titles";
const char* const kColourTip = "Select color depth";
const char* const kSlotTip = "Select a saved game";

// UTF-8 bytes for the copyright sign, whatever the compiler's execution
// character set.
const char* const kCreditLine = "\xC2\xA9 2026 Zephran fans";

void Place(QWidget* control, const char* name, const QRect& box, const char* tooltip) {
  control->setObjectName(QString::fromLatin1(name));
  control->move(box.topLeft());
  control->setFixedSize(box.size());
  if (tooltip != nullptr) {
    control->setToolTip(QString::fromUtf8(tooltip));
  }
}

TextLabel* MakeLabel(QWidget* window, const char* name, const QRect& box, const char* text,
                     const QFont& font, const QColor& colour, const char* tooltip) {
  auto* label = new TextLabel(QString::fromUtf8(text), window);
  Place(label, name, box, tooltip);
  label->setFont(font);
  label->SetTextColour(colour);
  return label;
}

TextLabel* MakeCaption(QWidget* window, const char* name, const QRect& box, const char* text,
                       const char* tooltip) {
  return MakeLabel(window, name, box, text, ComicFont(kLargePixels, FontStyle::kBoldItalic),
                   kCaptionGrey, tooltip);
}

DropDownList* MakeList(QWidget* window, const char* name, const QRect& box, const char* tooltip,
                       std::initializer_list<const char*> items) {
  auto* list = new DropDownList(window);
  Place(list, name, box, tooltip);
  list->setFont(SansFont(kListPixels, FontStyle::kBold));
  for (const char* item : items) {
    list->AppendItem(QString::fromUtf8(item));
  }
  return list;
}

PictureCheckBox* MakeCheckBox(QWidget* window, const char* name, const QRect& box,
                              const char* tooltip) {
  auto* check_box = new PictureCheckBox(window);
  Place(check_box, name, box, tooltip);
  return check_box;
}

QColor SystemButtonText() {
  return QGuiApplication::palette().color(QPalette::ButtonText);
}

}  // namespace

MainPage::MainPage(platform::Platform& platform, QWidget* parent)
    : QWidget(parent),
      ListCol(MakeList(this, "ListCol", {144, 180, 73, 24}, kColourTip, {"16 bits", "32 bits"})),
      ModeFenet(MakeCheckBox(this, "ModeFenet", {32, 62, 27, 25}, kWindowedTip)),
      ModeCinema(MakeCheckBox(this, "ModeCinema", {32, 102, 27, 25}, kCinemaTip)),
      ModeSousT(MakeCheckBox(this, "ModeSousT", {32, 142, 27, 25}, kSubTitlesTip)),
      ListSlot(MakeList(this, "ListSlot", {136, 264, 129, 24}, kSlotTip, {})),
      ListChoixResol(MakeList(this, "ListChoixResol", {168, 27, 81, 24}, kResolutionTip,
                              {"640x480", "512x384", "400x300", "320x240"})),
      TextCol(MakeCaption(this, "TextCol", {56, 176, 105, 33}, "Colors :", kColourTip)),
      Lien_txt(MakeLabel(this, "Lien_txt", {168, 0, 65, 17}, "Read-me.txt",
                         SansFont(kSmallPixels, FontStyle::kRegular, /*underline=*/true), kLinkCyan,
                         "What you must know")),
      beta(MakeLabel(this, "beta", {48, 0, 121, 17}, kCreditLine,
                     SansFont(kSmallPixels, FontStyle::kRegular), Qt::white, nullptr)),
      BoutLancerNouveau(MakeLabel(this, "BoutLancerNouveau", {96, 220, 105, 33}, "New game",
                                  ComicFont(kLargePixels, FontStyle::kBold), Qt::black,
                                  "Launch a new game")),
      BoutLoad(MakeLabel(this, "BoutLoad", {64, 260, 65, 33},
                         "Load :", ComicFont(kLargePixels, FontStyle::kBold), SystemButtonText(),
                         "Load the game you've selected")),
      TexteST(MakeCaption(this, "TexteST", {72, 140, 145, 25}, "Sub-titles", kSubTitlesTip)),
      TexteCinema(
          MakeCaption(this, "TexteCinema", {72, 100, 217, 33}, "Cinemascope mode", kCinemaTip)),
      TextFenetre(
          MakeCaption(this, "TextFenetre", {72, 60, 177, 33}, "Windowed mode", kWindowedTip)),
      TextResol(MakeCaption(this, "TextResol", {32, 24, 129, 33}, "Resolution :", kResolutionTip)),
      platform_(platform),
      background_(LoadAsset(Asset::kBackground)) {
  SetUpWindow();
  SetUpStackingAndFocusOrder();
}

void MainPage::SetUpWindow() {
  setObjectName(QStringLiteral("MainPage"));
  setWindowTitle(QStringLiteral("Zephran Loader+"));
  // A fixed dialog-like frame: close box only, no resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);
  setWindowIcon(WindowIcon());
  // paintEvent covers every pixel, so Qt need not clear the window first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves over the bare background must arrive without a button held.
  setMouseTracking(true);
}

void MainPage::SetUpStackingAndFocusOrder() {
  // Lists and check boxes stay above the labels; the caption "Colors :"
  // reaches under ListCol.
  for (QWidget* control : std::initializer_list<QWidget*>{ListCol, ModeFenet, ModeCinema, ModeSousT,
                                                          ListSlot, ListChoixResol}) {
    control->raise();
  }
  QWidget::setTabOrder(ListChoixResol, ListSlot);
  QWidget::setTabOrder(ListSlot, ModeSousT);
  QWidget::setTabOrder(ModeSousT, ModeCinema);
  QWidget::setTabOrder(ModeCinema, ModeFenet);
  QWidget::setTabOrder(ModeFenet, ListCol);
}

void MainPage::ShowCentred() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  if (screen != nullptr) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  show();
}

void MainPage::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  // At its own size, top-left aligned: the picture is narrower than the
  // window and one row taller, so it is neither stretched nor repeated.
  painter.drawPixmap(0, 0, background_);
}

void MainPage::mouseMoveEvent(QMouseEvent* event) {
  // Moves over a list or check box can bubble up here; only the bare
  // background counts.
  if (childAt(event->position().toPoint()) == nullptr) {
    emit backgroundMouseMoved();
  }
  QWidget::mouseMoveEvent(event);
}

}  // namespace zephran::ui
