#include "platform/command_line.h"

namespace zephran::platform {

std::string CommandLine::Text() const {
  std::string text = program;
  for (const std::string& argument : arguments) {
    text += ' ';
    text += argument;
  }
  return text;
}

}  // namespace zephran::platform
