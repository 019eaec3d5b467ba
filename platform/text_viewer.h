#pragma once

#include <string>

#include "platform/command_line.h"

namespace zephran::platform {

// The command that shows a text file to the player with this system's own
// viewer.
CommandLine TextViewerCommand(const std::string& file);

}  // namespace zephran::platform
