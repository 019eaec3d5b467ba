#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string_view>
#include <vector>

#include "core/window_services.h"

namespace zephran::ui {

// Message boxes and the event pump, from Qt.
class QtWindowServices : public core::WindowServices {
 public:
  using MessagePresenter = std::function<void(std::string_view prompt, std::string_view title)>;

  // Shows a modal message box; both texts are UTF-8.
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  // Runs the window events that are waiting, then returns.
  void PumpEvents() override;
  // Hides every shown top-level window, and shows them again.
  void HideWindow() override;
  void RestoreWindow() override;

  // Presents every message. Tests replace it to answer messages without a
  // person at the screen.
  MessagePresenter message_presenter = ShowMessageBox;

  // A modal box with the title and prompt, one OK button and no icon.
  static void ShowMessageBox(std::string_view prompt, std::string_view title);

 private:
  std::vector<QPointer<QWidget>> hidden_;
};

}  // namespace zephran::ui
