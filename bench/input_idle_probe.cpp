// Times a Win32 program from inside the system: from CreateProcess to the
// moment its window first waits for input (WaitForInputIdle: the window
// made, every control in it, and the message loop started with nothing left
// to do). Then closes its windows as a close box would and waits for it to
// end.
//
//   input_idle_probe PROGRAM
//     Starts PROGRAM in its own folder. Prints
//       ready_ms=<start to ready for input> exit=<status>
#include <cstdio>
#include <string>

#include "platform/windows_api.h"

namespace {

constexpr DWORD kTimeoutMs = 20000;

BOOL CALLBACK CloseWindow(HWND window, LPARAM /*unused*/) {
  if (::IsWindowVisible(window) != FALSE) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: input_idle_probe PROGRAM\n", stderr);
    return 2;
  }
  std::wstring program = argv[1];
  std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  LARGE_INTEGER begin{};
  ::QueryPerformanceCounter(&begin);
  if (::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &started) == FALSE) {
    std::fprintf(stderr, "input_idle_probe: cannot start the program (error %lu)\n",
                 ::GetLastError());
    return 1;
  }
  const DWORD waited = ::WaitForInputIdle(started.hProcess, kTimeoutMs);
  LARGE_INTEGER ready{};
  ::QueryPerformanceCounter(&ready);
  if (waited != 0) {
    std::fputs("input_idle_probe: the program never waited for input\n", stderr);
    ::TerminateProcess(started.hProcess, 1);
    return 1;
  }
  // Let it settle as a player would look at it, then close it.
  ::Sleep(300);
  ::EnumThreadWindows(started.dwThreadId, CloseWindow, 0);
  ::WaitForSingleObject(started.hProcess, kTimeoutMs);
  DWORD status = 0;
  ::GetExitCodeProcess(started.hProcess, &status);
  std::printf("ready_ms=%.1f exit=%lu\n", Milliseconds(begin, ready), status);
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return 0;
}
