#pragma once

#include <functional>
#include <string_view>

#include "platform/native_platform.h"

namespace zephran::ui {

// The operating-system services, with the two that belong to the window
// toolkit supplied by Qt.
class QtPlatform : public platform::NativePlatform {
 public:
  using MessagePresenter = std::function<void(std::string_view prompt, std::string_view title)>;

  // Shows a modal message box; both texts are UTF-8.
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  // Runs the window events that are waiting, then returns.
  void PumpEvents() override;

  // Presents every message. Tests replace it to answer messages without a
  // person at the screen.
  MessagePresenter message_presenter = ShowMessageBox;

  // A modal box with the title and prompt, one OK button and no icon.
  static void ShowMessageBox(std::string_view prompt, std::string_view title);
};

}  // namespace zephran::ui
