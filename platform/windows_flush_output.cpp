#include "platform/flush_output.h"

#include <cstdio>

namespace zephran::platform {

// The Windows program writes only through C's streams (the standard C++
// streams write straight through to them unless told otherwise, which
// nothing here does), so flushing those is enough. Not naming std::cout
// here keeps the C++ streams and their start-up out of the program.
void FlushOutput() {
  std::fflush(nullptr);
}

}  // namespace zephran::platform
