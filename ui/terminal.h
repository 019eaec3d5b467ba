#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zephran::ui {

// What the program says on its standard streams, for a player who starts it
// from a terminal, where a message box alone explains too little.

// Answers --help (or -h) and --version on `out` and returns the exit status;
// nullopt when the command line asks for neither and the window is to open.
// Everything else is left to Qt, which takes options of its own.
std::optional<int> AnswerCommandLine(int argc, const char* const argv[], std::ostream& out);

// When the game is not beside the launcher: which folders were searched and
// what for, and, for the installed launcher, how to put a copy where the game
// is. Nothing when the game is there.
void ReportMissingGame(platform::Platform& platform, std::ostream& out);

// `text` as a terminal can show it: control characters, bytes that are not
// UTF-8 and backslashes written as escapes, so that a folder's name can
// neither be misread nor change the terminal.
std::string Escaped(std::string_view text);

}  // namespace zephran::ui
