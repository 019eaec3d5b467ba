#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/window_services.h"
#include "platform/platform.h"

namespace zephran::core::testing {

// An in-memory installation that records, in order, every call with a visible
// effect: messages, writes, pumps, started programs and the end of the program.
class FakePlatform : public platform::Platform, public core::WindowServices {
 public:
  // Paths use the native separator; a folder is named with a trailing one.
  std::string program_folder;
  std::map<std::string, std::string> files;  // path -> content
  std::set<std::string> folders;
  std::set<std::string> read_only;                 // writes to these fail
  std::map<std::string, std::string> moved_aside;  // path -> content
  std::string save_error;                          // when set, every write fails with this reason
  platform::StartResult start_result{true, ""};
  std::string start_refusal;         // what CheckStart answers
  platform::StartWatch start_watch;  // what WatchStart answers
  // Runs inside PumpEvents: stands for whatever the player does meanwhile.
  std::function<void()> on_pump;

  std::vector<std::string> log;     // "message <title>|<prompt>", "write <file>|[s] k=v", ...
  std::vector<std::string> probes;  // every FirstDirEntry pattern, in order
  std::vector<unsigned> probe_masks;
  std::vector<platform::CommandLine> started;
  std::vector<platform::WindowStyle> styles;
  std::vector<std::string> attribute_resets;
  int messages = 0;
  int file_readings = 0;  // each read of a whole profile file
  bool ended = false;

  // Adds a file and the folders above it.
  void AddFile(const std::string& path, const std::string& content = "");
  void AddFolder(const std::string& path);

  std::string ReadProfileString(std::string_view section, std::string_view key,
                                std::string_view default_value, std::size_t capacity,
                                const std::string& file) override;
  std::vector<std::string> ReadProfileStrings(const std::vector<platform::ProfileKey>& keys,
                                              std::string_view default_value, std::size_t capacity,
                                              const std::string& file) override;
  bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& file) override;
  platform::SaveResult WriteProfileStrings(const std::vector<platform::ProfileValue>& values,
                                           const std::string& file) override;
  std::string FirstDirEntry(const std::string& pattern, unsigned mask) override;
  // Puts back what `moved_aside` holds for the file, as after a save killed
  // while the file was moved aside.
  void FinishInterruptedSave(const std::string& file) override {
    if (const auto found = moved_aside.find(file); found != moved_aside.end()) {
      AddFile(file, found->second);
      moved_aside.erase(found);
    }
  }
  void SetNormalAttributes(const std::string& file) override;
  platform::StartResult StartProgram(const platform::CommandLine& command,
                                     platform::WindowStyle style) override;
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  void PumpEvents() override;
  void HideWindow() override { log.push_back("hide"); }
  void RestoreWindow() override { log.push_back("restore"); }
  std::string CheckStart(const platform::CommandLine& command) override {
    log.push_back("check " + command.Text());
    return start_refusal;
  }
  platform::StartWatch WatchStart(std::chrono::milliseconds limit) override {
    log.push_back("watch " + std::to_string(limit.count()) + " ms");
    return start_watch;
  }
  // A fixed command, so that tests see exactly what is started.
  platform::CommandLine TextViewerCommand(const std::string& file) override {
    return {"text-viewer", {file}};
  }
  void EndProgram() override;
  std::string ProgramFolder() override { return program_folder; }

 private:
  bool pumping_ = false;

  std::string Lookup(std::string_view section, std::string_view key, std::string_view default_value,
                     std::size_t capacity, const std::string& file) const;
};

}  // namespace zephran::core::testing
