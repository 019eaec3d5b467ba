#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

class QMouseEvent;

namespace zephran::ui {

// A caption or text button painted straight onto the window's picture. It
// never takes the focus, and it reports clicks and mouse moves anywhere in its
// box, including where no text is drawn, so a word can act as a button.
class TextLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TextLabel(const QString& text, QWidget* parent = nullptr);

  void SetTextColour(const QColor& colour);
  QColor TextColour() const;

 signals:
  // A left press and release both inside the box.
  void clicked();
  // Any mouse move over the box, whatever the buttons.
  void mouseMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace zephran::ui
