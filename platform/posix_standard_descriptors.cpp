#include "platform/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zephran::platform {

void OpenMissingStandardDescriptors() {
  for (int descriptor = 0; descriptor < 3; ++descriptor) {
    if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) {
      continue;
    }
    // open() returns the lowest free descriptor, which is this one: the
    // lower ones are open by now.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != descriptor) {
      ::dup2(opened, descriptor);
      ::close(opened);
    }
  }
}

}  // namespace zephran::platform
