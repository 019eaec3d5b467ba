#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/windows_api.h"

namespace zephran::platform::testing {

// A fresh folder under the system's temporary folder, named after the
// running test, and removed afterwards with whatever read-only, hidden or
// system entries the test left in it.
class TempFolder {
 public:
  explicit TempFolder(std::string_view name) {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + "zephran-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::string(name);
    created_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, error)) {
      SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(path_, error);
  }

  bool Created() const { return created_; }
  const std::string& Path() const { return path_; }
  std::string Path(std::string_view name) const { return path_ + "\\" + std::string(name); }

 private:
  std::string path_;
  bool created_ = false;
};

}  // namespace zephran::platform::testing
