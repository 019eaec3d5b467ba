#pragma once

#include <string_view>

namespace zephran::core {

// What the logic asks of the window toolkit rather than of the operating
// system. The logic owns this interface; each toolkit window supplies it,
// beside the one native implementation of the system's services.
class WindowServices {
 public:
  virtual ~WindowServices() = default;

  // A modal message box with one OK button and no icon; returns when
  // dismissed. Both texts are UTF-8.
  virtual void ShowMessage(std::string_view prompt, std::string_view title) = 0;

  // Lets pending window events run before going on.
  virtual void PumpEvents() = 0;

  // Takes the launcher's window off the screen at once, while the game it
  // started gets going, and puts it back as it was.
  virtual void HideWindow() = 0;
  virtual void RestoreWindow() = 0;
};

}  // namespace zephran::core
