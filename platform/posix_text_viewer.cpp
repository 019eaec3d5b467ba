#include "platform/native_platform.h"

namespace zephran::platform {

// Desktops differ in their editors; xdg-open asks the player's desktop for
// the viewer it has chosen for text files.
CommandLine NativePlatform::TextViewerCommand(const std::string& file) {
  return {"xdg-open", {file}};
}

}  // namespace zephran::platform
