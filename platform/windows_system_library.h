#pragma once

#include "platform/windows_api.h"

namespace zephran::platform {

// The system libraries whose functions the program looks up rather than
// imports: those loaded after start (under Wine every library loaded with
// the program delays its window, and most runs never need these), and the
// ones every process has, for the functions that older systems lack.
enum class SystemLibrary {
  kCommonControls,  // comctl32: the tooltips
  kCom,             // ole32: COM, for screen readers' answers
  kAutomation,      // oleaut32: the strings handed to screen readers
  kAccessibility,   // oleacc: Active Accessibility
  // XInput, for gamepads: the first of these three the system has.
  kXInput14,  // xinput1_4: Windows 8 on
  kXInput91,  // xinput9_1_0: Vista and 7
  kXInput13,  // xinput1_3: from the DirectX runtime, where the others are missing
  // Loaded in every process before the program runs.
  kKernel,  // kernel32
  kUser,    // user32
  kNative,  // ntdll: the calls beneath kernel32's, there since the first NT
  kAdvapi,  // advapi32: who owns a file, who may write a folder
};

// Limits where libraries are searched for, before any is loaded after
// start: the system folder only, where the system can be told so (Windows 8,
// or 7 with its update); elsewhere at least not the working folder. A
// library of the same name in the game's folder is never taken for the
// system's, nor is one that a system library loads in turn (comctl32's
// uxtheme).
void LimitLibrarySearch();

// The library from the system folder by its full path, loaded the first
// time it is asked for and kept for the rest of the run (the answers handed
// to screen readers live on in the system). nullptr when it cannot be
// loaded: the caller goes without its feature.
HMODULE LoadSystemLibrary(SystemLibrary library);

// A function of a loaded module; nullptr when the module or the function is
// missing.
template <typename Function>
Function ModuleFunction(HMODULE module, const char* name) {
  if (module == nullptr) {
    return nullptr;
  }
  // Through a plain function pointer: a direct cast between unrelated
  // function types draws a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// A function of a system library; nullptr when the library or the function
// is missing.
template <typename Function>
Function LoadSystemFunction(SystemLibrary library, const char* name) {
  return ModuleFunction<Function>(LoadSystemLibrary(library), name);
}

// Whether functions newer than Windows XP are looked up at all. The 32-bit
// program runs from XP SP3, where each of them is missing and the caller
// takes its older way. Wine has them all, whatever version it reports, so
// the environment variable ZEPHRAN_WITHOUT_NEWER_CALLS (any value) makes
// every such lookup come back empty, for the tests of those older ways.
bool NewerCallsLookedUp();

// A function that Windows XP lacks; nullptr where the system has none (or
// newer calls are not looked up). Each caller has a way without it.
template <typename Function>
Function NewerSystemFunction(SystemLibrary library, const char* name) {
  return NewerCallsLookedUp() ? LoadSystemFunction<Function>(library, name) : nullptr;
}

// Wine says so in ntdll, where Windows has no such function.
bool RunningUnderWine();

// The status block the native (ntdll) file calls fill in.
struct NativeIoStatus {
  LONG_PTR status = 0;
  ULONG_PTR information = 0;
};

// COM on the window's thread, started the first time it is wanted and kept
// for the rest of the run. False when COM is missing or refuses: screen
// readers then get the system's own answers.
bool StartCom();

}  // namespace zephran::platform
