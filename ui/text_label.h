#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include "window/description.h"

class QMouseEvent;
class QPaintEvent;

namespace zephran::ui {

// A caption or text button painted straight onto the window's picture. It
// never takes the focus, and it reports clicks and mouse moves anywhere in its
// box, including where no text is drawn, so a word can act as a button.
class TextLabel : public QLabel {
  Q_OBJECT

 public:
  // The role is fixed here: assistive technology settles what a widget is
  // as soon as it has words.
  explicit TextLabel(const QString& text, window::LabelRole role = window::LabelRole::kText,
                     QWidget* parent = nullptr);

  void SetTextColour(const QColor& colour);
  QColor TextColour() const;

  // Whether the words act when pressed (assistive technology reads this).
  window::LabelRole Role() const { return role_; }

  // The dotted focus mark around the whole box: a label takes no focus, but
  // the pad's cursor can stand on one.
  void SetFocusMark(bool shown);

  // Reports a click once the current event is done: an assistive tool
  // pressing the label gets its answer before the click's work (a launch
  // ends the program; a message box waits for the player).
  void PressLater();

 signals:
  // A left press and release both inside the box.
  void clicked();
  // Any mouse move over the box, whatever the buttons.
  void mouseMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool pressed_ = false;
  bool focus_mark_ = false;
  const window::LabelRole role_ = window::LabelRole::kText;
};

}  // namespace zephran::ui
