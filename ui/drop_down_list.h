#pragma once

#include <QComboBox>
#include <QRect>
#include <QString>

class QEvent;
class QKeyEvent;
class QPaintEvent;
class QWheelEvent;

namespace zephran::ui {

// A pick-only list (no typing) in green bold text on black, in the closed box
// and in the opened list alike. It starts with nothing selected and adding
// items never selects one; only the user or SetCurrentIndex from code does.
class DropDownList : public QComboBox {
  Q_OBJECT

 public:
  explicit DropDownList(QWidget* parent = nullptr);

  // Adds `text` at the end without changing the selection.
  void AppendItem(const QString& text);

  // Where the closed box draws the selected item's text.
  QRect TextBox() const;

  void showPopup() override;

 signals:
  // Fires at once for every change of the current index, whether made by the
  // user or by setCurrentIndex from code (-1 and empty text when the selection
  // is cleared), and also when the user picks the item that is already
  // selected. Exactly once per choice.
  void selectionMade(int index, const QString& text);

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void OnCurrentIndexChanged(int index);
  void OnActivated(int index);
  // Called as a user action starts; see activation_already_reported_.
  void BeginUserAction();

  // QComboBox reports a user's choice of a different item twice (index
  // changed, then activated) and a re-choice of the same item only as
  // activated. This remembers that the index change of the current user
  // action has already been reported, so activated does not report it again.
  bool activation_already_reported_ = false;
};

}  // namespace zephran::ui
