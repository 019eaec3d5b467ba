#include "platform/windows_system_library.h"

#include <objbase.h>

#include <array>
#include <atomic>
#include <string>

namespace zephran::platform {

namespace {

// Indexed by SystemLibrary.
constexpr std::array<const wchar_t*, 11> kFileNames = {
    L"comctl32.dll",  L"ole32.dll",       L"oleaut32.dll",  L"oleacc.dll",
    L"xinput1_4.dll", L"xinput9_1_0.dll", L"xinput1_3.dll", L"kernel32.dll",
    L"user32.dll",    L"ntdll.dll",       L"advapi32.dll"};

bool AlwaysLoaded(SystemLibrary library) {
  return library == SystemLibrary::kKernel || library == SystemLibrary::kUser ||
         library == SystemLibrary::kNative;
}

struct Loaded {
  bool tried = false;
  HMODULE module = nullptr;
};
// The window's thread alone loads them.
std::array<Loaded, kFileNames.size()> loaded;

std::wstring InSystemFolder(const wchar_t* file) {
  std::wstring folder(MAX_PATH, L'\0');
  const UINT length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length == 0 || length >= folder.size()) {
    return {};
  }
  folder.resize(length);
  return folder + L'\\' + file;
}

}  // namespace

void LimitLibrarySearch() {
  // Windows 8, or 7 with its update: the system folder alone.
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  const auto set_default = NewerSystemFunction<SetDefaultDllDirectoriesCall>(
      SystemLibrary::kKernel, "SetDefaultDllDirectories");
  if (set_default == nullptr || set_default(kSearchSystem32) == FALSE) {
    // Without it (XP, Vista), the program's own folder stays searched for
    // what a system library loads in turn; the full paths below still keep
    // the libraries the program asks for to the system's.
    ::SetDllDirectoryW(L"");
  }
  // Some of the system's own libraries load COM by name on a path that
  // ignores the limit (Wine's input methods, as the first window is made):
  // taken from the system folder first, it is the one they find. They
  // would load it anyway, so this costs the start-up nothing.
  LoadSystemLibrary(SystemLibrary::kCom);
}

HMODULE LoadSystemLibrary(SystemLibrary library) {
  Loaded& entry = loaded[static_cast<std::size_t>(library)];
  if (entry.tried) {
    return entry.module;
  }
  entry.tried = true;
  const wchar_t* const name = kFileNames[static_cast<std::size_t>(library)];
  if (AlwaysLoaded(library)) {
    entry.module = ::GetModuleHandleW(name);
    return entry.module;
  }
  const std::wstring path = InSystemFolder(name);
  if (!path.empty()) {
    entry.module = ::LoadLibraryW(path.c_str());
  }
  return entry.module;
}

bool NewerCallsLookedUp() {
  // Asked by the thread library's clock too, on any thread and before
  // main(): no guarded static, and the caller's last error kept.
  enum : int { kNotAsked, kYes, kNo };
  static std::atomic<int> answer{kNotAsked};
  int known = answer.load(std::memory_order_relaxed);
  if (known == kNotAsked) {
    const DWORD error = ::GetLastError();
    known = ::GetEnvironmentVariableW(L"ZEPHRAN_WITHOUT_NEWER_CALLS", nullptr, 0) == 0 &&
                    ::GetLastError() == ERROR_ENVVAR_NOT_FOUND
                ? kYes
                : kNo;
    ::SetLastError(error);
    answer.store(known, std::memory_order_relaxed);
  }
  return known == kYes;
}

bool RunningUnderWine() {
  return ModuleFunction<void (*)()>(LoadSystemLibrary(SystemLibrary::kNative),
                                    "wine_get_version") != nullptr;
}

bool StartCom() {
  static const bool started = [] {
    const auto initialize =
        LoadSystemFunction<decltype(&::CoInitializeEx)>(SystemLibrary::kCom, "CoInitializeEx");
    // Already started on this thread (by a test): S_FALSE, as good.
    return initialize != nullptr && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
  }();
  return started;
}

}  // namespace zephran::platform
