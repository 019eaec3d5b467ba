#pragma once

#include <string_view>

#include "core/window_services.h"
#include "platform/windows_api.h"

namespace zephran::win32 {

// Keyboard handling a window needs before a message is dispatched: its
// shortcuts and the dialog keys (Tab, Shift+Tab, arrows). True when taken.
class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  virtual bool Filter(MSG& message) = 0;
};

// Dispatches one message, letting the filter take it first.
void DispatchWithFilter(MessageFilter* filter, MSG& message);

// Presses OK on the message box among this thread's windows (a dialog, the
// only kind the program makes), as the player's Enter would.
void AnswerMessageBox();

// Message boxes and the event pump of the Win32 window.
class Win32WindowServices final : public core::WindowServices {
 public:
  // The window that owns the message boxes and filters the pumped messages;
  // until it is set, boxes have no owner.
  void Attach(HWND window, MessageFilter* filter) {
    window_ = window;
    filter_ = filter;
  }

  void ShowMessage(std::string_view prompt, std::string_view title) override;
  void PumpEvents() override;
  void HideWindow() override;
  void RestoreWindow() override;

 private:
  HWND window_ = nullptr;
  MessageFilter* filter_ = nullptr;
};

}  // namespace zephran::win32
