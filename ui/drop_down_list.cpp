#include "ui/drop_down_list.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QWheelEvent>

namespace zephran::ui {

namespace {

const QColor kListGreen(0x00, 0xFF, 0x00);
const QColor kListBlack(0x00, 0x00, 0x00);
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

QPalette ListPalette(QPalette palette) {
  for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
    palette.setColor(role, kListBlack);
  }
  for (const QPalette::ColorRole role :
       {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Highlight}) {
    palette.setColor(role, kListGreen);
  }
  palette.setColor(QPalette::HighlightedText, kListBlack);
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
  setPalette(ListPalette(palette()));
  view()->setPalette(ListPalette(view()->palette()));
  connect(this, &QComboBox::currentIndexChanged, this, &DropDownList::OnCurrentIndexChanged);
  connect(this, &QComboBox::activated, this, &DropDownList::OnActivated);
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
  painter.fillRect(box, kListBlack);

  // The button with its arrow at the right end.
  const QRect button(box.right() - kButtonWidth + 1, box.top(), kButtonWidth, box.height());
  painter.fillRect(button, kButtonGrey);
  const QPoint centre = button.center();
  const QPoint arrow[] = {centre + QPoint(-4, -2), centre + QPoint(4, -2), centre + QPoint(0, 2)};
  painter.setPen(Qt::NoPen);
  painter.setBrush(kListBlack);
  painter.drawPolygon(arrow, 3);

  // Styled lists draw no focus mark of their own: the frame turns green.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(kFrameGrey);
  painter.drawLine(button.topLeft(), button.bottomLeft());
  painter.setPen(hasFocus() ? kListGreen : kFrameGrey);
  painter.drawRect(box.adjusted(0, 0, -1, -1));

  const QRect text_box = TextBox();
  painter.setPen(kListGreen);
  painter.setClipRect(text_box);
  painter.drawText(text_box, Qt::AlignLeft | Qt::AlignVCenter, currentText());
}

QRect DropDownList::TextBox() const {
  // Between the frame and the button, with a little air on the left.
  return rect().adjusted(3, 1, -(kButtonWidth + 1), -1);
}

void DropDownList::showPopup() {
  BeginUserAction();
  // Save names are longer than the slot list is wide: the opened list grows
  // to show them whole rather than cut them.
  view()->setTextElideMode(Qt::ElideNone);
  view()->setMinimumWidth(
      std::max(width(), view()->sizeHintForColumn(0) + 2 * view()->frameWidth()));
  QComboBox::showPopup();
}

void DropDownList::keyPressEvent(QKeyEvent* event) {
  BeginUserAction();
  QComboBox::keyPressEvent(event);
}

void DropDownList::wheelEvent(QWheelEvent* event) {
  BeginUserAction();
  QComboBox::wheelEvent(event);
}

void DropDownList::BeginUserAction() {
  activation_already_reported_ = false;
}

void DropDownList::OnCurrentIndexChanged(int index) {
  activation_already_reported_ = true;
  emit selectionMade(index, currentText());
}

void DropDownList::OnActivated(int index) {
  if (activation_already_reported_) {
    activation_already_reported_ = false;
    return;
  }
  emit selectionMade(index, itemText(index));
}

}  // namespace zephran::ui
