// Starting and ending programs, and finding our own, through kernel32 with
// ANSI names (see windows_files.cpp).
#include "platform/windows_api.h"

#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/flush_output.h"
#include "platform/native_platform.h"
#include "platform/windows_command_line.h"

namespace zephran::platform {

namespace {

// The system's own words for an error code, without the line break that
// FormatMessage ends them with.
std::string DescribeError(DWORD error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string description = length != 0 && text != nullptr ? std::string(text, length) : "";
  ::LocalFree(text);
  while (!description.empty() &&
         (description.back() == '\r' || description.back() == '\n' || description.back() == ' ')) {
    description.pop_back();
  }
  return description.empty() ? "error " + std::to_string(error) : description;
}

WORD ShowCommand(WindowStyle style) {
  switch (style) {
    case WindowStyle::MinimizedWithFocus:
      return SW_SHOWMINIMIZED;
    case WindowStyle::Normal:
      break;
  }
  return SW_SHOWNORMAL;
}

}  // namespace

StartResult NativePlatform::StartProgram(const CommandLine& command, WindowStyle style) {
  try {
    // CreateProcess may write into the command line, so it gets a copy of
    // its own. The program is named separately: no search path, no shell,
    // and no guessing where a name with spaces ends.
    std::string line = QuoteWindowsCommandLine(command);
    // Games look for their data relative to the working folder.
    const std::string folder = WindowsParentFolder(command.program);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCommand(style);
    PROCESS_INFORMATION process{};
    if (::CreateProcessA(command.program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.empty() ? nullptr : folder.c_str(), &startup, &process) == FALSE) {
      return StartResult{
          false, "Cannot start " + command.program + ": " + DescribeError(::GetLastError())};
    }
    // Not waited for: the program lives on after the launcher ends.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return StartResult{true, {}};
  } catch (const std::exception& error) {
    return StartResult{false, "Cannot start " + command.program + ": " + error.what()};
  }
}

void NativePlatform::EndProgram() {
  FlushOutput();
  // Ends every thread at once; no window message is handled on the way out.
  ::ExitProcess(0);
}

std::string NativePlatform::ProgramFolder() {
  try {
    // The name may be longer than MAX_PATH; a full buffer means it was cut.
    // No Windows path is longer than 32767 characters.
    constexpr std::size_t kLongestPath = 32768;
    for (std::string name(MAX_PATH, '\0'); name.size() <= 2 * kLongestPath;) {
      const DWORD length =
          ::GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
      if (length == 0) {
        return {};
      }
      if (length < name.size()) {
        name.resize(length);
        return WindowsParentFolder(name);
      }
      name.resize(2 * name.size());
    }
    return {};
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace zephran::platform
