#include "platform/windows_newer_calls.h"

#include <atomic>
#include <cstdint>

#include "platform/windows_system_library.h"

namespace zephran::platform {

namespace {

// Vista's declarations, which the headers keep from an XP build.
using GetTickCount64Call = ULONGLONG(WINAPI*)();
using CompareStringOrdinalCall = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
using GetFinalPathNameByHandleCall = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using SetFileInformationByHandleCall = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
constexpr DWORD kFileNameNormalized = 0x0;  // FILE_NAME_NORMALIZED
// FILE_INFO_BY_HANDLE_CLASS
constexpr int kFileBasicInfo = 0;
constexpr int kFileDispositionInfo = 4;

// FILE_BASIC_INFO, and the native FILE_BASIC_INFORMATION beneath it.
struct BasicInfo {
  LARGE_INTEGER creation_time{};
  LARGE_INTEGER last_access_time{};
  LARGE_INTEGER last_write_time{};
  LARGE_INTEGER change_time{};
  DWORD file_attributes = 0;
};
// FILE_DISPOSITION_INFO, and FILE_DISPOSITION_INFORMATION.
struct DispositionInfo {
  BOOLEAN delete_file = FALSE;
};

// The native call that Vista's SetFileInformationByHandle is made of, and
// that XP has: the same information on the same handle.
using NtSetInformationFileCall = LONG(WINAPI*)(HANDLE, NativeIoStatus*, void*, ULONG, int);
using RtlNtStatusToDosErrorCall = ULONG(WINAPI*)(LONG);
// FILE_INFORMATION_CLASS
constexpr int kFileBasicInformation = 4;
constexpr int kFileDispositionInformation = 13;

bool SetInformation(HANDLE file, int vista_class, int native_class, void* info, DWORD size) {
  static const auto set_information = NewerSystemFunction<SetFileInformationByHandleCall>(
      SystemLibrary::kKernel, "SetFileInformationByHandle");
  if (set_information != nullptr) {
    return set_information(file, vista_class, info, size) != FALSE;
  }
  static const auto native_set =
      LoadSystemFunction<NtSetInformationFileCall>(SystemLibrary::kNative, "NtSetInformationFile");
  static const auto error_of = LoadSystemFunction<RtlNtStatusToDosErrorCall>(
      SystemLibrary::kNative, "RtlNtStatusToDosError");
  if (native_set == nullptr || error_of == nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  NativeIoStatus io{};
  const LONG status = native_set(file, &io, info, size, native_class);
  if (status < 0) {  // an error or a warning, as the native calls say
    ::SetLastError(error_of(status));
    return false;
  }
  return true;
}

std::wstring UpperCase(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  std::wstring upper(text.size(), L'\0');
  const int length =
      ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                     upper.data(), static_cast<int>(upper.size()));
  // One code unit each way: the upper case of a name is as long.
  return length == static_cast<int>(text.size()) ? upper : std::wstring(text);
}

// Milliseconds since the system started, in 64 bits, where the system has
// no GetTickCount64 (XP): its 32-bit count widened by counting its wraps
// (every 49.7 days), which holds as long as it is asked at least once in
// that time, as every wait that uses it does. Any thread may ask.
ULONGLONG WINAPI WidenedTickCount() {
  static std::atomic<std::uint64_t> last{0};
  std::uint64_t known = last.load(std::memory_order_acquire);
  for (;;) {
    const DWORD now = ::GetTickCount();
    std::uint64_t widened = (known & ~std::uint64_t{0xFFFFFFFF}) | now;
    if (widened < known) {
      if (known - widened < (std::uint64_t{1} << 31)) {
        return known;  // another thread's read, a moment newer than this one
      }
      widened += std::uint64_t{1} << 32;  // wrapped since it was last asked
    }
    if (widened == known || last.compare_exchange_weak(known, widened, std::memory_order_acq_rel)) {
      return widened;
    }
  }
}

// The system's GetTickCount64, or the widened count where it has none.
// Looked up by whichever thread asks first (races give the same answer),
// without a guarded static: the thread library asks from its own waits,
// also before main().
ULONGLONG WINAPI SystemTickCount() {
  static std::atomic<GetTickCount64Call> call{nullptr};
  GetTickCount64Call known = call.load(std::memory_order_relaxed);
  if (known == nullptr) {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    known = NewerCallsLookedUp() ? ModuleFunction<GetTickCount64Call>(kernel, "GetTickCount64")
                                 : nullptr;
    if (known == nullptr) {
      known = &WidenedTickCount;
    }
    call.store(known, std::memory_order_relaxed);
  }
  return known();
}

}  // namespace

// The thread library that the C++ runtime is linked with imports
// GetTickCount64 for its timed waits, which would keep the program from
// starting on XP. Its import is answered here instead, before the system
// library's: the linker takes this definition and never the system's.
extern "C" {
#if defined(_WIN64)
ULONGLONG(WINAPI* thread_library_tick_count)() asm("__imp_GetTickCount64") = &SystemTickCount;
#else
ULONGLONG(WINAPI* thread_library_tick_count)() asm("__imp__GetTickCount64@0") = &SystemTickCount;
#endif
}

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  static const auto compare =
      NewerSystemFunction<CompareStringOrdinalCall>(SystemLibrary::kKernel, "CompareStringOrdinal");
  if (compare != nullptr) {
    return compare(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                   TRUE) == CSTR_EQUAL;
  }
  return a.size() == b.size() && UpperCase(a) == UpperCase(b);
}

std::optional<std::wstring> SystemFinalPath(HANDLE file) {
  static const auto final_path = NewerSystemFunction<GetFinalPathNameByHandleCall>(
      SystemLibrary::kKernel, "GetFinalPathNameByHandleW");
  if (final_path == nullptr) {
    return std::nullopt;
  }
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        final_path(file, buffer.data(), static_cast<DWORD>(buffer.size()), kFileNameNormalized);
    if (length == 0) {
      return std::wstring();
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(length);
  }
}

bool SetAttributesOpened(HANDLE file, DWORD attributes) {
  BasicInfo info{};  // times left at zero: unchanged
  info.file_attributes = attributes;
  return SetInformation(file, kFileBasicInfo, kFileBasicInformation, &info, sizeof info);
}

bool MarkOpenedForDeletion(HANDLE file) {
  DispositionInfo info{};
  info.delete_file = TRUE;
  return SetInformation(file, kFileDispositionInfo, kFileDispositionInformation, &info,
                        sizeof info);
}

}  // namespace zephran::platform
