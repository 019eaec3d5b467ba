// A stand-in for a system library, planted in a game's folder under the
// system library's name: it does nothing but leave a mark beside itself,
// "<its file name>.loaded", as soon as a program loads it.
#include "platform/windows_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  wchar_t mark[MAX_PATH + 8] = {};
  const DWORD length = ::GetModuleFileNameW(self, mark, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return TRUE;
  }
  ::lstrcatW(mark, L".loaded");
  HANDLE file = ::CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
  }
  return TRUE;
}
