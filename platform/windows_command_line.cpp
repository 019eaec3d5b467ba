#include "platform/windows_command_line.h"

#include <cstddef>

namespace zephran::platform {
namespace {

bool NeedsQuotes(std::string_view word) {
  // Vertical tab and line feed do not split words for the C runtime, but
  // some older parsers do; quoting them costs nothing.
  return word.empty() || word.find_first_of(" \t\n\v\"") != std::string_view::npos;
}

void AppendArgument(std::string& line, std::string_view argument) {
  if (!NeedsQuotes(argument)) {
    line += argument;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal except in front of a quote, where each pair
    // stands for one backslash and an odd one out escapes the quote.
    const std::size_t copies = c == '"' ? 2 * backslashes + 1 : backslashes;
    line.append(copies, '\\');
    line += c;
    backslashes = 0;
  }
  // The closing quote must not be escaped by the argument's own backslashes.
  line.append(2 * backslashes, '\\');
  line += '"';
}

void AppendProgram(std::string& line, std::string_view program) {
  if (program.empty() || program.find_first_of(" \t") != std::string_view::npos) {
    line += '"';
    line += program;
    line += '"';
    return;
  }
  line += program;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string QuoteWindowsCommandLine(const CommandLine& command) {
  std::string line;
  AppendProgram(line, command.program);
  for (const std::string& argument : command.arguments) {
    line += ' ';
    AppendArgument(line, argument);
  }
  return line;
}

std::string WindowsParentFolder(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/");
  if (last == std::string_view::npos) {
    return {};
  }
  // "a\\b" names the same file as "a\b".
  std::string_view folder = path.substr(0, last);
  while (!folder.empty() && IsSeparator(folder.back())) {
    folder.remove_suffix(1);
  }
  // A root keeps its separator: "\" is the root of the current drive.
  const bool drive = folder.size() == 2 && folder[1] == ':';
  if (folder.empty() || drive) {
    return std::string(path.substr(0, folder.size() + 1));
  }
  return std::string(folder);
}

}  // namespace zephran::platform
