#include "platform/flush_output.h"

#include <cstdio>
#include <exception>
#include <iostream>

namespace zephran::platform {

void FlushOutput() {
  try {
    std::cout.flush();
    std::clog.flush();
  } catch (const std::exception&) {
    // Leaving matters more than the last line of output.
  }
  std::fflush(nullptr);
}

}  // namespace zephran::platform
