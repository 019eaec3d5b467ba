#pragma once

#include <algorithm>
#include <string>

#include "platform/platform.h"

namespace zephran::core::testing {

// Tests spell paths with "/"; this gives them the platform's own separator.
inline std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
  return path;
}

}  // namespace zephran::core::testing
