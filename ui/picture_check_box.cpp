#include "ui/picture_check_box.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QPalette>
#include <QPen>

#include "ui/assets.h"

namespace zephran::ui {

namespace {

// The classic raised-button bevel, fixed so that no system colour scheme
// changes the look.
QPalette BevelPalette() {
  QPalette palette;
  palette.setColor(QPalette::Light, QColor(0xFF, 0xFF, 0xFF));
  palette.setColor(QPalette::Midlight, QColor(0xC0, 0xC0, 0xC0));
  palette.setColor(QPalette::Button, QColor(0x00, 0x00, 0x00));
  palette.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
  palette.setColor(QPalette::Shadow, QColor(0x00, 0x00, 0x00));
  return palette;
}

}  // namespace

PictureCheckBox::PictureCheckBox(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
}

int PictureCheckBox::Value() const {
  return isChecked() ? 1 : 0;
}

void PictureCheckBox::SetValue(int value) {
  setChecked(value == 1);
}

QSize PictureCheckBox::sizeHint() const {
  return LoadAsset(Asset::kCheckOff).size() + QSize(7, 5);
}

void PictureCheckBox::SetFocusMarkShown(bool shown) {
  if (focus_mark_shown_ != shown) {
    focus_mark_shown_ = shown;
    update();
  }
}

void PictureCheckBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // Pressed while held down or while checked, like a push button that latches.
  const bool sunken = isDown() || isChecked();
  const QBrush face(Qt::black);
  qDrawWinButton(&painter, rect(), BevelPalette(), sunken, &face);

  const QPixmap picture = LoadAsset(isChecked() ? Asset::kCheckOn : Asset::kCheckOff);
  const QSize picture_size = picture.deviceIndependentSize().toSize();
  // Odd spare pixels go to the right and bottom.
  QRect picture_box(
      QPoint((width() - picture_size.width()) / 2, (height() - picture_size.height()) / 2),
      picture_size);
  if (sunken) {
    picture_box.translate(1, 1);
  }
  painter.drawPixmap(picture_box.topLeft(), picture);

  if (hasFocus() && focus_mark_shown_) {
    QPen pen(QColor(0xC0, 0xC0, 0xC0));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(picture_box.adjusted(-1, -1, 0, 0));
  }
}

}  // namespace zephran::ui
