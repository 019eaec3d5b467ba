// A stand-in game for the Windows platform tests.
//
// Started plainly, it writes what it was started with into launch_report.bin
// beside itself: NUL-terminated UTF-8 fields holding its working folder, the
// show flags of its STARTUPINFO, the folder NativePlatform::ProgramFolder
// gives it, its raw command line and then each argument its C runtime split
// off. Everything passes through the wide functions, so the report is whole
// whatever the system's code page can spell.
// The report appears in one rename, so a reader never sees half of it.
//
// Started as "launch_reporter --end <file>", it writes a line to <file>
// without flushing it and calls NativePlatform::EndProgram; exit code 3 means
// EndProgram returned.
#include "platform/windows_api.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/native_platform.h"
#include "platform/windows_text.h"

namespace {

using zephran::platform::Utf16FromUtf8;
using zephran::platform::Utf8FromUtf16;

std::string CurrentFolder() {
  std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return Utf8FromUtf16(folder);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = _wfopen(Utf16FromUtf8(path).c_str(), L"wb");
  if (file == nullptr) {
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

int Report(int argc, wchar_t** argv) {
  zephran::platform::NativePlatform platform;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);

  std::string report;
  const auto add = [&](const std::string& field) {
    report += field;
    report += '\0';
  };
  add(CurrentFolder());
  add(std::to_string(startup.wShowWindow));
  add(std::to_string(startup.dwFlags & STARTF_USESHOWWINDOW));
  const std::string folder = platform.ProgramFolder();
  add(folder);
  add(Utf8FromUtf16(GetCommandLineW()));
  for (int i = 1; i < argc; ++i) {
    add(Utf8FromUtf16(argv[i]));
  }
  const std::string temporary = folder + "\\launch_report.tmp";
  const std::string final_name = folder + "\\launch_report.bin";
  if (!WriteWholeFile(temporary, report) ||
      MoveFileExW(Utf16FromUtf8(temporary).c_str(), Utf16FromUtf8(final_name).c_str(),
                  MOVEFILE_REPLACE_EXISTING) == FALSE) {
    return 1;
  }
  return 0;
}

int End(const wchar_t* path) {
  std::FILE* file = _wfopen(path, L"w");
  if (file == nullptr) {
    return 1;
  }
  std::fputs("written before the end\n", file);
  zephran::platform::NativePlatform platform;
  platform.EndProgram();
  return 3;
}

}  // namespace

// Wide arguments (linked with -municode), split by the C runtime as a game's.
int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring_view(argv[1]) == L"--end") {
    return End(argv[2]);
  }
  return Report(argc, argv);
}
