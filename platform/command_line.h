#pragma once

#include <string>
#include <vector>

namespace zephran::platform {

// A program and its arguments, kept apart so that a folder name with spaces
// or quotes can never be taken for two words.
struct CommandLine {
  std::string program;
  std::vector<std::string> arguments;

  // The program and arguments joined by single spaces, unquoted: the form in
  // which the game documents its command lines. For messages and tests only.
  std::string Text() const;

  bool operator==(const CommandLine&) const = default;
};

}  // namespace zephran::platform
