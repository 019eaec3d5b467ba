#pragma once

namespace zephran::platform {

// Writes out whatever the program still holds in its output buffers, for a
// process about to end without running destructors or exit handlers.
void FlushOutput();

}  // namespace zephran::platform
