// What a player gets from the launcher's optional parts, asked from outside
// it as the system and a screen reader would.
//
//   library_check LAUNCHER
//     Starts LAUNCHER in its own folder, waits until its window takes input,
//     counts the tools of its tooltip control and asks a screen reader's
//     question (the windowed-mode box's description, which only the
//     launcher's own answer carries), then closes it. Prints what it found;
//     exit status 0 when both answered.
//   library_check --load LIBRARY
//     Loads LIBRARY by its path: a control that a planted library leaves
//     its mark when loaded.
#include <ole2.h>
#include <oleacc.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "platform/windows_api.h"

namespace {

constexpr DWORD kTimeoutMs = 20000;
// The windowed-mode box: the first control id plus its place in the
// window's description.
constexpr int kWindowedModeId = 101;
constexpr wchar_t kWindowedModeTip[] =
    L"Enable windowed mode (a black edge appears around the screen)";

struct Found {
  HWND main = nullptr;
  HWND tooltip = nullptr;
};

BOOL CALLBACK Note(HWND window, LPARAM data) {
  auto* found = reinterpret_cast<Found*>(data);
  wchar_t kind[64] = {};
  ::GetClassNameW(window, kind, 64);
  if (::lstrcmpiW(kind, TOOLTIPS_CLASSW) == 0) {
    found->tooltip = window;
  } else if (::IsWindowVisible(window) != FALSE) {
    found->main = window;
  }
  return TRUE;
}

std::wstring DescriptionOf(HWND control) {
  IAccessible* object = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
    return L"(no accessible object)";
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  std::wstring words;
  if (SUCCEEDED(object->get_accDescription(self, &text)) && text != nullptr) {
    words = text;
    ::SysFreeString(text);
  }
  object->Release();
  return words;
}

int Check(const wchar_t* launcher) {
  std::wstring program = launcher;
  const std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &started) == FALSE) {
    std::fprintf(stderr, "library_check: cannot start the launcher (error %lu)\n",
                 ::GetLastError());
    return 1;
  }
  bool answered = false;
  if (::WaitForInputIdle(started.hProcess, kTimeoutMs) == 0) {
    Found found;
    ::EnumThreadWindows(started.dwThreadId, Note, reinterpret_cast<LPARAM>(&found));
    const LRESULT tools =
        found.tooltip != nullptr ? ::SendMessageW(found.tooltip, TTM_GETTOOLCOUNT, 0, 0) : 0;
    const std::wstring description = DescriptionOf(::GetDlgItem(found.main, kWindowedModeId));
    std::printf("tooltips=%ld\n", static_cast<long>(tools));
    std::printf("screen reader: %ls\n", description.c_str());
    answered = tools == 14 && description == kWindowedModeTip;
    ::PostMessageW(found.main, WM_CLOSE, 0, 0);
  } else {
    std::fputs("library_check: the launcher never waited for input\n", stderr);
    ::TerminateProcess(started.hProcess, 1);
  }
  ::WaitForSingleObject(started.hProcess, kTimeoutMs);
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return answered ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--load") {
    return ::LoadLibraryW(argv[2]) != nullptr ? 0 : 1;
  }
  if (argc != 2) {
    std::fputs("usage: library_check LAUNCHER | --load LIBRARY\n", stderr);
    return 2;
  }
  ::CoInitialize(nullptr);
  const int status = Check(argv[1]);
  ::CoUninitialize();
  return status;
}
