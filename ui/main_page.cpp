#include "ui/main_page.h"

#include <initializer_list>
#include <utility>

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QScreen>
#include <QShortcut>
#include <QString>

#include "core/display_modes.h"
#include "core/locator.h"
#include "core/read_me.h"
#include "core/save_slots.h"
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

// Assistive technology names a control by the words that stand for it on
// screen, without a caption's closing " :", and describes it by its tooltip.
void Place(QWidget* control, const char* name, const QRect& box, const char* tooltip,
           const char* accessible_name) {
  control->setObjectName(QString::fromLatin1(name));
  control->move(box.topLeft());
  control->setFixedSize(box.size());
  QString spoken = QString::fromUtf8(accessible_name);
  if (spoken.endsWith(QStringLiteral(" :"))) {
    spoken.chop(2);
  }
  control->setAccessibleName(spoken);
  if (tooltip != nullptr) {
    control->setToolTip(QString::fromUtf8(tooltip));
    control->setAccessibleDescription(control->toolTip());
  }
}

TextLabel* MakeLabel(QWidget* window, const char* name, const QRect& box, const char* text,
                     const QFont& font, const QColor& colour, const char* tooltip) {
  auto* label = new TextLabel(QString::fromUtf8(text), window);
  Place(label, name, box, tooltip, text);
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
                       const char* accessible_name, std::initializer_list<const char*> items) {
  auto* list = new DropDownList(window);
  Place(list, name, box, tooltip, accessible_name);
  list->setFont(SansFont(kListPixels, FontStyle::kBold));
  for (const char* item : items) {
    list->AppendItem(QString::fromUtf8(item));
  }
  return list;
}

PictureCheckBox* MakeCheckBox(QWidget* window, const char* name, const QRect& box,
                              const char* tooltip, const char* accessible_name) {
  auto* check_box = new PictureCheckBox(window);
  Place(check_box, name, box, tooltip, accessible_name);
  return check_box;
}

QColor SystemButtonText() {
  return QGuiApplication::palette().color(QPalette::ButtonText);
}

}  // namespace

MainPage::MainPage(platform::Platform& platform, QWidget* parent)
    : QWidget(parent),
      ListCol(MakeList(this, "ListCol", {144, 180, 73, 24}, kColourTip, "Colors",
                       {"16 bits", "32 bits"})),
      ModeFenet(MakeCheckBox(this, "ModeFenet", {32, 62, 27, 25}, kWindowedTip, "Windowed mode")),
      ModeCinema(
          MakeCheckBox(this, "ModeCinema", {32, 102, 27, 25}, kCinemaTip, "Cinemascope mode")),
      ModeSousT(MakeCheckBox(this, "ModeSousT", {32, 142, 27, 25}, kSubTitlesTip, "Sub-titles")),
      ListSlot(MakeList(this, "ListSlot", {136, 264, 129, 24}, kSlotTip, "Saved game", {})),
      ListChoixResol(MakeList(this, "ListChoixResol", {168, 27, 81, 24}, kResolutionTip,
                              "Resolution", {"640x480", "512x384", "400x300", "320x240"})),
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
  ConnectHandlers();
}

void MainPage::ConnectHandlers() {
  // A selection set from code runs the same handler as a player's choice, at
  // once: start-up relies on it to fill the launcher's state.
  connect(ListChoixResol, &DropDownList::selectionMade, this, [this](int, const QString& text) {
    core::OnResolutionChosen(state_, text.toStdString());
  });
  connect(ListCol, &DropDownList::selectionMade, this,
          [this](int, const QString& text) { core::OnColourChosen(state_, text.toStdString()); });
  connect(ListSlot, &DropDownList::selectionMade, this,
          [this](int index, const QString&) { core::OnSlotChosen(state_, index); });

  // The two text buttons light up as a pair; the bare background puts both out.
  connect(BoutLoad, &TextLabel::mouseMoved, this, [this] { HighlightButton(BoutLoad); });
  connect(BoutLancerNouveau, &TextLabel::mouseMoved, this,
          [this] { HighlightButton(BoutLancerNouveau); });
  connect(this, &MainPage::backgroundMouseMoved, this, [this] { HighlightButton(nullptr); });

  connect(BoutLancerNouveau, &TextLabel::clicked, this, &MainPage::LaunchNewGame);
  connect(BoutLoad, &TextLabel::clicked, this, &MainPage::LaunchSavedGame);
  // The text buttons stay out of the Tab cycle, as drawn; from the keyboard
  // they answer to chords that no moving between controls can press.
  for (const auto& [keys, launch] : {std::pair{kNewGameKeys, &MainPage::LaunchNewGame},
                                     std::pair{kLoadGameKeys, &MainPage::LaunchSavedGame}}) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, this, launch);
  }
  connect(Lien_txt, &TextLabel::clicked, this, [this] { core::OpenReadMe(platform_, state_); });
}

void MainPage::Load() {
  core::LocateInstallation(platform_, state_);
  if (state_.BadDir) {
    return;
  }

  const core::DisplaySelections selections = core::LoadDisplaySettings(platform_, state_);
  if (selections.resolution_index) {
    ListChoixResol->setCurrentIndex(*selections.resolution_index);
  }
  ModeFenet->SetValue(selections.ModeFenet);
  ModeCinema->SetValue(selections.ModeCinema);
  ModeSousT->SetValue(selections.ModeSousT);
  ListCol->setCurrentIndex(selections.colour_index);

  for (const std::string& item : core::ScanSaveSlots(platform_, state_)) {
    ListSlot->AppendItem(QString::fromStdString(item));
  }
  ListSlot->setCurrentIndex(0);
}

void MainPage::LaunchNewGame() {
  core::LaunchNewGame(platform_, state_, Choices());
}

void MainPage::LaunchSavedGame() {
  core::LaunchSavedGame(platform_, state_, Choices());
}

void MainPage::HighlightButton(TextLabel* highlighted) {
  for (TextLabel* button : {BoutLoad, BoutLancerNouveau}) {
    button->SetTextColour(button == highlighted ? Qt::white : Qt::black);
  }
}

core::LaunchChoices MainPage::Choices() const {
  return core::LaunchChoices{ModeFenet->Value(), ModeCinema->Value(), ModeSousT->Value(),
                             ListSlot->currentIndex()};
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

void MainPage::changeEvent(QEvent* event) {
  // The first activation is the first show: the player starts on the
  // windowed-mode box.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_) {
    activated_ = true;
    ModeFenet->setFocus(Qt::ActiveWindowFocusReason);
  }
  QWidget::changeEvent(event);
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
