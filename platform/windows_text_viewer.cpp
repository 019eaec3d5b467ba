#include "platform/windows_api.h"

#include <string>

#include "platform/native_platform.h"
#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

// The shared Windows folder, where Notepad lives. GetWindowsDirectory would
// give a private per-user folder on a terminal server.
std::string WindowsFolder() {
  std::wstring wide(MAX_PATH, L'\0');
  const UINT length = ::GetSystemWindowsDirectoryW(wide.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return "C:\\Windows";
  }
  wide.resize(length);
  std::string folder = Utf8FromUtf16(wide);
  // Only Windows installed in a drive's root ends with a separator.
  if (folder.back() == '\\') {
    folder.pop_back();
  }
  return folder;
}

}  // namespace

// Notepad is on every Windows, whatever program text files are associated
// with, and is started directly like a game, without the shell.
CommandLine NativePlatform::TextViewerCommand(const std::string& file) {
  return {WindowsFolder() + "\\Notepad.exe", {file}};
}

}  // namespace zephran::platform
