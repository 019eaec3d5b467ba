#pragma once

#include <string>
#include <string_view>

#include "platform/command_line.h"

namespace zephran::platform {

// Windows hands a program one command-line text, which the program's C runtime
// (or CommandLineToArgvW) splits into words again. This is the text that
// splits back into exactly `command.program` and `command.arguments`:
//  - an argument without spaces, tabs or quotes goes as it is, any other
//    (the empty one included) in quotes, with each quote escaped as \" and
//    the backslashes in front of a quote, or of the closing quote, doubled;
//  - the program name is split by simpler rules (up to the next space, or
//    between quotes, with no escapes), so it is only put in quotes when it
//    needs them; a quote cannot be part of a Windows file name.
std::string QuoteWindowsCommandLine(const CommandLine& command);

// The folder part of a Windows path: everything before the last "\" or "/",
// keeping the separator of a drive root ("C:\x.exe" gives "C:\", as "C:" alone
// would mean the drive's current folder). Empty when there is no folder part.
std::string WindowsParentFolder(std::string_view path);

}  // namespace zephran::platform
