#include "win32/system_library.h"

#include <objbase.h>

#include <array>
#include <string>

namespace zephran::win32 {

namespace {

// Indexed by SystemLibrary.
constexpr std::array<const wchar_t*, 7> kFileNames = {
    L"comctl32.dll",  L"ole32.dll",       L"oleaut32.dll", L"oleacc.dll",
    L"xinput1_4.dll", L"xinput9_1_0.dll", L"xinput1_3.dll"};

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
  // Looked up rather than imported: older systems lack it.
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  const auto set_default = ModuleFunction<SetDefaultDllDirectoriesCall>(
      ::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (set_default == nullptr || set_default(LOAD_LIBRARY_SEARCH_SYSTEM32) == FALSE) {
    // Without it, the program's own folder stays searched for what a system
    // library loads in turn; the full paths below still keep the libraries
    // the program asks for to the system's.
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
  const std::wstring path = InSystemFolder(kFileNames[static_cast<std::size_t>(library)]);
  if (!path.empty()) {
    entry.module = ::LoadLibraryW(path.c_str());
  }
  return entry.module;
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

}  // namespace zephran::win32
