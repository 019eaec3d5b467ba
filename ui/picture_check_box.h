#pragma once

#include <QAbstractButton>

class QPaintEvent;

namespace zephran::ui {

// A push button without text that stays down while checked: a black face
// showing the off picture, or the on picture and a pressed look. Painted here
// rather than by the style so that it looks the same on every platform.
class PictureCheckBox : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PictureCheckBox(QWidget* parent = nullptr);

  // 1 while checked, 0 otherwise.
  int Value() const;
  // Only 1 checks the box; any other value unchecks it.
  void SetValue(int value);

  QSize sizeHint() const override;

  // Whether the focus mark shows while the box has the focus.
  void SetFocusMarkShown(bool shown);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool focus_mark_shown_ = true;
};

}  // namespace zephran::ui
