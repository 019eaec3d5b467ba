#pragma once

namespace zephran::platform {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Called
// first thing in main: a program started with its error output closed would
// otherwise hand descriptor 2 to the first file or connection it opens, and
// every error message, its own or a started game's, would be written into
// that.
void OpenMissingStandardDescriptors();

}  // namespace zephran::platform
