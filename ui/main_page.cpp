#include "ui/main_page.h"

#include <optional>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QScreen>
#include <QShortcut>
#include <QString>

#include "ui/accessibility.h"
#include "ui/assets.h"
#include "ui/fonts.h"

namespace zephran::ui {

namespace {

using window::ControlDescription;
using window::ControlId;
using window::ControlKind;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToQColor(window::Colour colour) {
  if (colour.system_button_text) {
    return QGuiApplication::palette().color(QPalette::ButtonText);
  }
  return QColor::fromRgb(colour.rgb);
}

QWidget* MakeControl(const ControlDescription& control, QWidget* window) {
  switch (control.kind) {
    case ControlKind::kList: {
      auto* list = new DropDownList(window);
      list->SetColours(ToQColor(control.text_colour), ToQColor(control.background));
      list->setFont(MakeFont(control.font));
      for (const std::string_view item : control.items) {
        list->AppendItem(Text(item));
      }
      return list;
    }
    case ControlKind::kCheckBox:
      return new PictureCheckBox(window);
    case ControlKind::kLabel: {
      auto* label = new TextLabel(Text(control.text), control.label_role, window);
      label->setFont(MakeFont(control.font));
      label->SetTextColour(ToQColor(control.text_colour));
      return label;
    }
  }
  return nullptr;
}

// Places a control at its box, with its names and tooltip; assistive
// technology reads the tooltip as its description.
QWidget* Place(QWidget* widget, const ControlDescription& control) {
  widget->setObjectName(Text(control.name));
  widget->move(control.box.x, control.box.y);
  widget->setFixedSize(control.box.width, control.box.height);
  widget->setAccessibleName(Text(control.accessible_name));
  if (!control.tooltip.empty()) {
    widget->setToolTip(Text(control.tooltip));
    widget->setAccessibleDescription(widget->toolTip());
  }
  return widget;
}

}  // namespace

MainPage::MainPage(platform::Platform& platform, core::WindowServices& window, QWidget* parent)
    : QWidget(parent),
      controls_(BuildControls()),
      ListCol(Control<DropDownList>(ControlId::ListCol)),
      ModeFenet(Control<PictureCheckBox>(ControlId::ModeFenet)),
      ModeCinema(Control<PictureCheckBox>(ControlId::ModeCinema)),
      ModeSousT(Control<PictureCheckBox>(ControlId::ModeSousT)),
      ListSlot(Control<DropDownList>(ControlId::ListSlot)),
      ListChoixResol(Control<DropDownList>(ControlId::ListChoixResol)),
      TextCol(Control<TextLabel>(ControlId::TextCol)),
      Lien_txt(Control<TextLabel>(ControlId::Lien_txt)),
      beta(Control<TextLabel>(ControlId::beta)),
      BoutLancerNouveau(Control<TextLabel>(ControlId::BoutLancerNouveau)),
      BoutLoad(Control<TextLabel>(ControlId::BoutLoad)),
      TexteST(Control<TextLabel>(ControlId::TexteST)),
      TexteCinema(Control<TextLabel>(ControlId::TexteCinema)),
      TextFenetre(Control<TextLabel>(ControlId::TextFenetre)),
      TextResol(Control<TextLabel>(ControlId::TextResol)),
      controller_(platform, window, *this) {
  SetUpWindow();
  SetUpStackingAndFocusOrder();
  SetUpCaptions();
  ForwardEvents();
}

std::array<QWidget*, window::kControlCount> MainPage::BuildControls() {
  // Before any control exists: Qt settles a widget's accessible interface as
  // soon as its name is set, and keeps it.
  InstallAccessibility();
  std::array<QWidget*, window::kControlCount> controls{};
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    controls[static_cast<int>(control.id)] = Place(MakeControl(control, this), control);
  }
  return controls;
}

void MainPage::ForwardEvents() {
  // Only the player's own picks: selections made from code run their
  // handlers in the controller.
  for (const ControlId id : {ControlId::ListChoixResol, ControlId::ListCol, ControlId::ListSlot}) {
    connect(Control<DropDownList>(id), &DropDownList::picked, this,
            [this, id](int index) { controller_.OnPicked(id, index); });
  }
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    if (control.kind != ControlKind::kLabel) {
      Control(control.id)->installEventFilter(this);
      continue;
    }
    auto* label = Control<TextLabel>(control.id);
    const ControlId id = control.id;
    connect(label, &TextLabel::mouseMoved, this, [this, id] { controller_.OnMouseMoved(id); });
    connect(label, &TextLabel::clicked, this, [this, id] { controller_.OnClicked(id); });
  }
  // The text buttons and the link stay out of the Tab cycle, as drawn; from
  // the keyboard they answer to chords that no moving between controls can
  // press, and the link to the usual help key.
  for (const auto& [keys, button] : {std::pair{kNewGameKeys, ControlId::BoutLancerNouveau},
                                     std::pair{kLoadGameKeys, ControlId::BoutLoad},
                                     std::pair{kReadMeKeys, ControlId::Lien_txt}}) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, this,
            [this, button = button] { controller_.OnClicked(button); });
  }
}

void MainPage::Load() {
  controller_.Load();
}

void MainPage::AppendItem(ControlId list, std::string_view text) {
  Control<DropDownList>(list)->AppendItem(Text(text));
}

void MainPage::SelectItem(ControlId list, int index) {
  Control<DropDownList>(list)->setCurrentIndex(index);
}

int MainPage::SelectedItem(ControlId list) const {
  return Control<DropDownList>(list)->currentIndex();
}

int MainPage::CheckValue(ControlId check_box) const {
  return Control<PictureCheckBox>(check_box)->Value();
}

void MainPage::SetCheckValue(ControlId check_box, int value) {
  Control<PictureCheckBox>(check_box)->SetValue(value);
}

void MainPage::SetTextColour(ControlId label, window::Colour colour) {
  Control<TextLabel>(label)->SetTextColour(ToQColor(colour));
}

void MainPage::Focus(ControlId control) {
  Control(control)->setFocus(Qt::ActiveWindowFocusReason);
}

void MainPage::MarkLabel(ControlId label, bool marked) {
  Control<TextLabel>(label)->SetFocusMark(marked);
}

void MainPage::ShowFocusMark(bool shown) {
  for (const ControlId id : window::MainPageDescription().tab_cycle) {
    if (window::Describe(id).kind == ControlKind::kList) {
      Control<DropDownList>(id)->SetFocusMarkShown(shown);
    } else {
      Control<PictureCheckBox>(id)->SetFocusMarkShown(shown);
    }
  }
}

void MainPage::OpenList(ControlId list) {
  Control<DropDownList>(list)->showPopup();
}

void MainPage::HighlightItem(ControlId list, int index) {
  Control<DropDownList>(list)->HighlightItem(index);
}

void MainPage::CloseList(ControlId list) {
  Control<DropDownList>(list)->hidePopup();
}

bool MainPage::ListOpen(ControlId list) const {
  return Control<DropDownList>(list)->PopupShown();
}

int MainPage::ItemCount(ControlId list) const {
  return Control<DropDownList>(list)->count();
}

void MainPage::AnswerMessage() {
  // The launcher's only modal windows are its message boxes.
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    }
  }
}

void MainPage::CloseWindow() {
  close();
}

bool MainPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn || event->type() == QEvent::KeyPress) {
    for (const ControlId id : window::MainPageDescription().tab_cycle) {
      if (watched != Control(id)) {
        continue;
      }
      if (event->type() == QEvent::FocusIn) {
        controller_.OnFocusMoved(id);
      } else {
        controller_.OnKeyPressed();
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainPage::SetUpWindow() {
  const window::WindowDescription& description = window::MainPageDescription();
  setObjectName(QStringLiteral("MainPage"));
  setWindowTitle(Text(description.title));
  // A fixed dialog-like frame: close box only, no resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(description.client_width, description.client_height);
  setWindowIcon(WindowIcon());
  // paintEvent covers every pixel, so Qt need not clear the window first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves over the bare background must arrive without a button held.
  setMouseTracking(true);
}

void MainPage::SetUpStackingAndFocusOrder() {
  const window::WindowDescription& description = window::MainPageDescription();
  for (const ControlId id : description.bottom_to_top) {
    Control(id)->raise();
  }
  const auto& cycle = description.tab_cycle;
  for (std::size_t i = 0; i + 1 < cycle.size(); ++i) {
    QWidget::setTabOrder(Control(cycle[i]), Control(cycle[i + 1]));
  }
}

void MainPage::SetUpCaptions() {
  // A caption is the label of its control: assistive technology reports the
  // pair as labelled-by / label-for. The texts hold no '&', so no shortcut.
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    if (const std::optional<ControlId> caption = window::CaptionOf(control.id)) {
      Control<TextLabel>(*caption)->setBuddy(Control(control.id));
    }
  }
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
  // The window paints before any of its controls.
  LoadCarriedFonts();
  QPainter painter(this);
  painter.fillRect(rect(), ToQColor(window::MainPageDescription().background));
  // At its own size, top-left aligned: the picture is narrower than the
  // window and one row taller, so it is neither stretched nor repeated.
  painter.drawPixmap(0, 0, LoadAsset(Asset::kBackground));
}

void MainPage::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    controller_.OnActivated();
  }
  QWidget::changeEvent(event);
}

void MainPage::mouseMoveEvent(QMouseEvent* event) {
  // Moves over a list or check box can bubble up here; only the bare
  // background counts.
  if (childAt(event->position().toPoint()) == nullptr) {
    controller_.OnMouseMoved(std::nullopt);
  }
  QWidget::mouseMoveEvent(event);
}

}  // namespace zephran::ui
