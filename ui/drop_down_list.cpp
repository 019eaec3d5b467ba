#include "ui/drop_down_list.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

namespace zephran::ui {

namespace {

// A style sheet rather than a palette: several platform styles draw combo
// boxes natively and ignore palette colours.
constexpr char kListStyle[] =
    "QComboBox { color: #00FF00; background-color: #000000; border: 1px solid #808080;"
    " padding: 0px 2px; combobox-popup: 0; }"
    // Styled lists draw no focus mark of their own.
    "QComboBox:focus { border-color: #00FF00; }"
    "QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: top right;"
    " width: 16px; border-left: 1px solid #808080; background-color: #C0C0C0; }"
    "QComboBox::down-arrow { width: 0px; height: 0px; border-left: 4px solid #C0C0C0;"
    " border-right: 4px solid #C0C0C0; border-top: 4px solid #000000; }"
    "QComboBox QAbstractItemView { color: #00FF00; background-color: #000000;"
    " border: 1px solid #808080; selection-color: #000000;"
    " selection-background-color: #00FF00; outline: 0px; }";

}  // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setInsertPolicy(QComboBox::NoInsert);
  setFocusPolicy(Qt::StrongFocus);
  setStyleSheet(QString::fromLatin1(kListStyle));
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

void DropDownList::showPopup() {
  BeginUserAction();
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
