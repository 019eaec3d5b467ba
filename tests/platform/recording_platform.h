#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/window_services.h"
#include "platform/native_platform.h"

namespace zephran::test_support {

// The real file services on a game installation in a temporary folder; what
// would reach the player or start a process is recorded instead. It stands
// for the window's services too.
class RecordingPlatform : public platform::NativePlatform, public core::WindowServices {
 public:
  explicit RecordingPlatform(std::string folder) : folder_(std::move(folder)) {}

  platform::StartResult StartProgram(const platform::CommandLine& command,
                                     platform::WindowStyle) override {
    started.push_back(command);
    return {true, {}};
  }
  void ShowMessage(std::string_view prompt, std::string_view title) override {
    messages.push_back(std::string(title) + "|" + std::string(prompt));
  }
  void PumpEvents() override {}
  void HideWindow() override {}
  void RestoreWindow() override {}
  void EndProgram() override { ended = true; }
  std::string ProgramFolder() override { return folder_; }

  std::vector<std::string> messages;
  std::vector<platform::CommandLine> started;
  bool ended = false;

 private:
  std::string folder_;
};

}  // namespace zephran::test_support
