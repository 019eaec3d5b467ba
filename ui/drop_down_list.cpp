#include "ui/drop_down_list.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QSignalBlocker>

namespace zephran::ui {

namespace {

const QColor kFrameGrey(0x80, 0x80, 0x80);
const QColor kButtonGrey(0xC0, 0xC0, 0xC0);
constexpr int kButtonWidth = 16;

// The lists keep their look whatever the platform style: the closed box is
// painted here, and the opened list takes its colours from a palette and
// drops down under the box. Cheaper than a style sheet, whose engine costs
// the window a noticeable part of its start-up time and memory.
class ListStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_ComboBox_Popup) {
      return 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

QPalette ListPalette(QPalette palette, const QColor& text, const QColor& background) {
  for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
    palette.setColor(role, background);
  }
  for (const QPalette::ColorRole role :
       {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Highlight}) {
    palette.setColor(role, text);
  }
  palette.setColor(QPalette::HighlightedText, background);
  return palette;
}

}  // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setInsertPolicy(QComboBox::NoInsert);
  setFocusPolicy(Qt::StrongFocus);
  // One style for every list; the window outlives them all.
  static ListStyle* const style = new ListStyle;
  setStyle(style);
  SetColours(text_colour_, background_);
  // Qt reports as activated exactly the player's choices: a pick in the
  // opened list, arrow keys and the wheel on the closed box.
  connect(this, &QComboBox::activated, this, &DropDownList::picked);
}

void DropDownList::SetColours(const QColor& text, const QColor& background) {
  text_colour_ = text;
  background_ = background;
  setPalette(ListPalette(palette(), text, background));
  view()->setPalette(ListPalette(view()->palette(), text, background));
  update();
}

void DropDownList::AppendItem(const QString& text) {
  const int selected = currentIndex();
  // QComboBox selects the first item added to an empty list; that automatic
  // selection is undone quietly, as no one chose it.
  const QSignalBlocker blocker(this);
  addItem(text);
  if (currentIndex() != selected) {
    setCurrentIndex(selected);
  }
}

void DropDownList::changeEvent(QEvent* event) {
  // The opened list is a window of its own, and windows do not inherit fonts.
  if (event->type() == QEvent::FontChange) {
    view()->setFont(font());
  }
  QComboBox::changeEvent(event);
}

void DropDownList::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect box = rect();
  painter.fillRect(box, background_);

  // The button with its arrow at the right end.
  const QRect button(box.right() - kButtonWidth + 1, box.top(), kButtonWidth, box.height());
  painter.fillRect(button, kButtonGrey);
  const QPoint centre = button.center();
  const QPoint arrow[] = {centre + QPoint(-4, -2), centre + QPoint(4, -2), centre + QPoint(0, 2)};
  painter.setPen(Qt::NoPen);
  painter.setBrush(background_);
  painter.drawPolygon(arrow, 3);

  // Styled lists draw no focus mark of their own: the frame turns green.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(kFrameGrey);
  painter.drawLine(button.topLeft(), button.bottomLeft());
  painter.setPen(hasFocus() && focus_mark_shown_ ? text_colour_ : kFrameGrey);
  painter.drawRect(box.adjusted(0, 0, -1, -1));

  const QRect text_box = TextBox();
  painter.setPen(text_colour_);
  painter.setClipRect(text_box);
  painter.drawText(text_box, Qt::AlignLeft | Qt::AlignVCenter, currentText());
}

void DropDownList::SetFocusMarkShown(bool shown) {
  if (focus_mark_shown_ != shown) {
    focus_mark_shown_ = shown;
    update();
  }
}

void DropDownList::HighlightItem(int index) {
  const QModelIndex item = model()->index(index, modelColumn(), rootModelIndex());
  view()->setCurrentIndex(item);
  view()->scrollTo(item);
}

bool DropDownList::PopupShown() const {
  return view()->isVisible();
}

QRect DropDownList::TextBox() const {
  // Between the frame and the button, with a little air on the left.
  return rect().adjusted(3, 1, -(kButtonWidth + 1), -1);
}

void DropDownList::showPopup() {
  // Save names are longer than the slot list is wide: the opened list grows
  // to show them whole rather than cut them.
  view()->setTextElideMode(Qt::ElideNone);
  view()->setMinimumWidth(
      std::max(width(), view()->sizeHintForColumn(0) + 2 * view()->frameWidth()));
  QComboBox::showPopup();
}

}  // namespace zephran::ui
