#pragma once

#include <QColor>
#include <QComboBox>
#include <QRect>
#include <QString>

class QEvent;
class QPaintEvent;

namespace zephran::ui {

// A pick-only list (no typing) drawn in its own two colours, in the closed box
// and in the opened list alike. It starts with nothing selected and adding
// items never selects one; only the player or setCurrentIndex from code does.
class DropDownList : public QComboBox {
  Q_OBJECT

 public:
  explicit DropDownList(QWidget* parent = nullptr);

  void SetColours(const QColor& text, const QColor& background);

  // Adds `text` at the end without changing the selection.
  void AppendItem(const QString& text);

  // Where the closed box draws the selected item's text.
  QRect TextBox() const;

  void showPopup() override;

  // Whether the frame turns to the text colour while the list has the focus.
  void SetFocusMarkShown(bool shown);

  // The opened list, walked without the mouse: an item highlighted as the
  // pointer would, and whether the list is open.
  void HighlightItem(int index);
  bool PopupShown() const;

 signals:
  // The player chose item `index`: in the opened list (also the item already
  // selected, as a Windows list reports it), with the arrow keys or the wheel
  // on the closed box. Selections made from code are not reported.
  void picked(int index);

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor text_colour_{0x00, 0xFF, 0x00};
  QColor background_{0x00, 0x00, 0x00};
  bool focus_mark_shown_ = true;
};

}  // namespace zephran::ui
