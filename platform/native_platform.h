#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/platform.h"

namespace zephran::platform {

// The services this operating system provides, as they are.
class NativePlatform : public Platform {
 public:
  std::string ReadProfileString(std::string_view section, std::string_view key,
                                std::string_view default_value, std::size_t capacity,
                                const std::string& file) override;
  std::vector<std::string> ReadProfileStrings(const std::vector<ProfileKey>& keys,
                                              std::string_view default_value, std::size_t capacity,
                                              const std::string& file) override;
  bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& file) override;
  SaveResult WriteProfileStrings(const std::vector<ProfileValue>& values,
                                 const std::string& file) override;
  std::string FirstDirEntry(const std::string& pattern, unsigned mask) override;
  void FinishInterruptedSave(const std::string& file) override;
  void SetNormalAttributes(const std::string& file) override;
  StartResult StartProgram(const CommandLine& command, WindowStyle style) override;
  std::string CheckStart(const CommandLine& command) override;
  StartWatch WatchStart(std::chrono::milliseconds limit) override;
  CommandLine TextViewerCommand(const std::string& file) override;
  void EndProgram() override;
  std::string ProgramFolder() override;

  // The program started last, while it is being watched. Defined by each
  // system's process code; it lets go of the program when it goes away.
  struct Watch;

 private:
  // Whether a file or folder the launcher finds may be taken for the game's:
  // not when another user may have put it there. Says why not, once.
  bool Trusted(const std::string& entry);
  // Says once on the error output what the player should know of a shared
  // folder (on Linux, where a launcher started from a terminal has one).
  void TellOnce(const std::string& text);

  std::shared_ptr<Watch> watch_;
  std::set<std::string> told_;
  // Folders every user may add files to, as first seen (Windows).
  std::map<std::wstring, bool> shared_folders_;
};

}  // namespace zephran::platform
