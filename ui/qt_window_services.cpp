#include "ui/qt_window_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

namespace zephran::ui {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void QtWindowServices::ShowMessage(std::string_view prompt, std::string_view title) {
  message_presenter(prompt, title);
}

void QtWindowServices::PumpEvents() {
  QCoreApplication::processEvents();
}

void QtWindowServices::HideWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible()) {
      hidden_.emplace_back(widget);
      widget->hide();
    }
  }
  // Off the screen now, not when the event loop next runs.
  QCoreApplication::processEvents();
}

void QtWindowServices::RestoreWindow() {
  for (const QPointer<QWidget>& widget : hidden_) {
    if (widget) {
      widget->show();
      widget->activateWindow();
    }
  }
  hidden_.clear();
  QCoreApplication::processEvents();
}

void QtWindowServices::ShowMessageBox(std::string_view prompt, std::string_view title) {
  QMessageBox box;
  box.setWindowTitle(FromUtf8(title));
  // Plain text: a folder name holding "<" must show as typed.
  box.setTextFormat(Qt::PlainText);
  box.setText(FromUtf8(prompt));
  box.setIcon(QMessageBox::NoIcon);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace zephran::ui
