#include "ui/accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QStringList>

#include "ui/drop_down_list.h"
#include "ui/main_page.h"
#include "ui/text_label.h"

namespace zephran::ui {

namespace {

// On Linux Qt names a combo box after its current item and leaves its caption
// to a labelled-by relation that not every screen reader follows; ours is
// named by its caption and shows the current item as its value and as its
// text, where screen readers read what a combo box displays.
class ListAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ListAccessible(DropDownList* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) {
      return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    switch (kind) {
      case QAccessible::Name:
        return widget()->accessibleName();
      case QAccessible::Value:
        return List()->currentText();
      default:
        return QAccessibleWidget::text(kind);
    }
  }

  // The opened list lives in a window of its own; it is the one child, as
  // in Qt's own combo boxes.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == List()->view() ? 0 : -1;
  }

  // The text: the current item, read only, nothing selected, no caret.
  QString text(int start, int end) const override {
    return List()->currentText().mid(start, end < 0 ? -1 : end - start);
  }
  int characterCount() const override { return static_cast<int>(List()->currentText().size()); }
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == showMenuAction()) {
      List()->showPopup();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  DropDownList* List() const { return static_cast<DropDownList*>(widget()); }
};

// A text button or the link: pressing it is a click. The label stays out of
// the Tab cycle, as drawn; an assistive tool reaches it through the tree.
class PressableLabelAccessible : public QAccessibleWidget {
 public:
  PressableLabelAccessible(TextLabel* label, QAccessible::Role role)
      : QAccessibleWidget(label, role) {}

  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      static_cast<TextLabel*>(widget())->PressLater();
      return;
    }
    QAccessibleWidget::doAction(action);
  }
};

QAccessibleInterface* MakeInterface(const QString& /*class_name*/, QObject* object) {
  if (auto* page = qobject_cast<MainPage*>(object)) {
    // A plain widget would be a "filler"; the window is the program's frame,
    // named by its title.
    return new QAccessibleWidget(page, QAccessible::Window);
  }
  if (auto* list = qobject_cast<DropDownList*>(object)) {
    return new ListAccessible(list);
  }
  if (auto* label = qobject_cast<TextLabel*>(object)) {
    switch (label->Role()) {
      case window::LabelRole::kButton:
        return new PressableLabelAccessible(label, QAccessible::Button);
      case window::LabelRole::kLink:
        return new PressableLabelAccessible(label, QAccessible::Link);
      case window::LabelRole::kText:
        break;  // Qt's own: static text, label for its buddy
    }
  }
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  // Qt keeps each factory once; ours is asked before its own widget factory
  // because it is asked about the most derived class first.
  QAccessible::installFactory(&MakeInterface);
}

}  // namespace zephran::ui
