// A stand-in game for the Windows platform tests.
//
// Started plainly, it writes what it was started with into launch_report.bin
// beside itself: NUL-terminated fields holding its working folder, the show
// flags of its STARTUPINFO, the folder NativePlatform::ProgramFolder gives
// it, its raw command line and then each argument its C runtime split off.
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

namespace {

std::string CurrentFolder() {
  std::string folder(GetCurrentDirectoryA(0, nullptr), '\0');
  folder.resize(GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

int Report(int argc, char** argv) {
  zephran::platform::NativePlatform platform;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);

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
  add(GetCommandLineA());
  for (int i = 1; i < argc; ++i) {
    add(argv[i]);
  }
  const std::string temporary = folder + "\\launch_report.tmp";
  const std::string final_name = folder + "\\launch_report.bin";
  if (!WriteWholeFile(temporary, report) ||
      MoveFileExA(temporary.c_str(), final_name.c_str(), MOVEFILE_REPLACE_EXISTING) == FALSE) {
    return 1;
  }
  return 0;
}

int End(const char* path) {
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) {
    return 1;
  }
  std::fputs("written before the end\n", file);
  zephran::platform::NativePlatform platform;
  platform.EndProgram();
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--end") {
    return End(argv[2]);
  }
  return Report(argc, argv);
}
