#include "ui/text_label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>

namespace zephran::ui {

TextLabel::TextLabel(const QString& text, window::LabelRole role, QWidget* parent)
    : QLabel(parent), role_(role) {
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setWordWrap(true);
  setMargin(0);
  setIndent(0);
  setContentsMargins(0, 0, 0, 0);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::NoFocus);
  // Hover colouring needs moves without a button held, over the whole box.
  setMouseTracking(true);
  setTextInteractionFlags(Qt::NoTextInteraction);
  // Only now, as a TextLabel with its role: QLabel's own constructor would
  // have settled its accessible interface as a plain label's.
  setText(text);
}

void TextLabel::SetTextColour(const QColor& colour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, colour);
  setPalette(palette);
}

QColor TextLabel::TextColour() const {
  return palette().color(QPalette::WindowText);
}

void TextLabel::SetFocusMark(bool shown) {
  if (focus_mark_ != shown) {
    focus_mark_ = shown;
    update();
  }
}

void TextLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!focus_mark_) {
    return;
  }
  // As the check boxes draw theirs.
  QPainter painter(this);
  QPen pen(QColor(0xC0, 0xC0, 0xC0));
  pen.setStyle(Qt::DotLine);
  pen.setWidth(0);
  painter.setPen(pen);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TextLabel::PressLater() {
  QMetaObject::invokeMethod(
      this, [this] { emit clicked(); }, Qt::QueuedConnection);
}

void TextLabel::mousePressEvent(QMouseEvent* event) {
  // Accepting keeps the press from reaching the window behind the label.
  event->accept();
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
  }
}

void TextLabel::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || !pressed_) {
    return;
  }
  pressed_ = false;
  if (rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

void TextLabel::mouseMoveEvent(QMouseEvent* event) {
  // Accepted so the window does not also see it as a move over its background.
  event->accept();
  emit mouseMoved();
}

}  // namespace zephran::ui
