#pragma once

#include <string>

#include "platform/platform.h"

namespace zephran::core {

// Names of the game's files, relative to the installation folder. Folder
// texts always end with the separator, so a path is a folder text followed by
// one of these.

inline constexpr const char* kSettingsFile = "zephran.ini";
inline constexpr const char* kReadMeFile = "readme.txt";

inline std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != platform::kPathSeparator) {
    folder += platform::kPathSeparator;
  }
  return folder;
}

// The sub-folder that holds the game when the launcher sits one level above.
inline std::string GameSubFolder() {
  return WithSeparator("zp");
}

}  // namespace zephran::core
