#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace zephran::platform::testing {

// A fresh folder (its path in UTF-8) under the system's temporary folder, named after the
// running test, and removed afterwards with whatever read-only, hidden or
// system entries the test left in it.
class TempFolder {
 public:
  explicit TempFolder(std::string_view name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = Utf8FromUtf16(temp) + "zephran-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::string(name);
    created_ = CreateDirectoryW(Utf16FromUtf8(path_).c_str(), nullptr) != FALSE;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code error;
    const std::filesystem::path folder(Utf16FromUtf8(path_));
    // Never throws: a test may leave paths the iteration cannot follow.
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(folder, error);
  }

  bool Created() const { return created_; }
  const std::string& Path() const { return path_; }
  std::string Path(std::string_view name) const { return path_ + "\\" + std::string(name); }

 private:
  std::string path_;
  bool created_ = false;
};

}  // namespace zephran::platform::testing
