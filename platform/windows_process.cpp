// Starting and ending programs, and finding our own, through kernel32's wide
// functions (see windows_text.h).
#include "platform/windows_api.h"

#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/flush_output.h"
#include "platform/native_platform.h"
#include "platform/windows_command_line.h"
#include "platform/windows_file_rights.h"
#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

constexpr std::size_t kLongestProgramPath = MAX_PATH - 1;

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
    std::wstring line = Utf16FromUtf8(QuoteWindowsCommandLine(command));
    const std::wstring program = Utf16FromUtf8(command.program);
    // The system does not start programs from longer paths, and the game
    // could not make its folder the working one either.
    if (program.size() > kLongestProgramPath) {
      return StartResult{false, "Cannot start " + command.program + ": its path is " +
                                    std::to_string(program.size()) +
                                    " characters long, and Windows starts programs from paths "
                                    "of at most " +
                                    std::to_string(kLongestProgramPath)};
    }
    // Games look for their data relative to the working folder.
    const std::wstring folder = Utf16FromUtf8(WindowsParentFolder(command.program));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCommand(style);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.empty() ? nullptr : folder.c_str(), &startup, &process) == FALSE) {
      return StartResult{
          false, "Cannot start " + command.program + ": " + SystemErrorText(::GetLastError())};
    }
    // Not waited for: the program lives on after the launcher ends.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return StartResult{true, {}};
  } catch (const std::exception& error) {
    return StartResult{false, "Cannot start " + command.program + ": " + error.what()};
  }
}

// CreateProcessW has already said whether the program started, and a Windows
// program needs no loader that could fail after it: nothing is watched here.
std::string NativePlatform::CheckStart(const CommandLine& command) {
  const PathTrust trust = TrustOfPath(Utf16FromUtf8(command.program), shared_folders_);
  return trust.stranger.empty()
             ? std::string()
             : "Cannot start " + command.program + ": " + StrangersEntryText(trust);
}

StartWatch NativePlatform::WatchStart(std::chrono::milliseconds /*limit*/) {
  return {};
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
    for (std::wstring name(MAX_PATH, L'\0'); name.size() <= 2 * kLongestPath;) {
      const DWORD length =
          ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
      if (length == 0) {
        return {};
      }
      if (length < name.size()) {
        name.resize(length);
        return WindowsParentFolder(Utf8FromUtf16(name));
      }
      name.resize(2 * name.size());
    }
    return {};
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace zephran::platform
