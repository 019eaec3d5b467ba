#include "platform/windows_entries.h"

#include <string_view>

namespace zephran::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool StartsWith(const std::wstring& text, std::wstring_view start) {
  return std::wstring_view(text).substr(0, start.size()) == start;
}

std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (StartsWith(path, L"\\\\?\\UNC\\")) {
    return L"\\" + path.substr(7);
  }
  if (StartsWith(path, L"\\\\?\\")) {
    return path.substr(4);
  }
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

HANDLE OpenEntry(const std::wstring& path, DWORD access) {
  return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::wstring FinalPath(HANDLE file) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        file, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return WithoutLongPathPrefix(std::move(buffer));
    }
    buffer.resize(length);
  }
}

std::wstring FolderPart(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L"\\/");
  if (last == std::wstring::npos) {
    return L".";
  }
  // "C:\name" keeps the root's own separator.
  return path.substr(0, last == 2 && path[1] == L':' ? last + 1 : last);
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
  return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

std::wstring NamePart(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L"\\/");
  return last == std::wstring::npos ? path : path.substr(last + 1);
}

bool IsPlainFileAt(HANDLE file, const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file, &info) == FALSE ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  const FileHandle folder(OpenEntry(FolderPart(path), FILE_READ_ATTRIBUTES));
  if (!folder.Valid()) {
    return false;
  }
  const std::wstring folder_path = FinalPath(folder.Get());
  const std::wstring file_path = FinalPath(file);
  return !folder_path.empty() && !file_path.empty() &&
         SamePath(file_path, Joined(folder_path, NamePart(path)));
}

bool StillAt(HANDLE file, const std::wstring& path) {
  const FileHandle named(OpenEntry(path, FILE_READ_ATTRIBUTES));
  BY_HANDLE_FILE_INFORMATION held{};
  BY_HANDLE_FILE_INFORMATION now{};
  return named.Valid() && ::GetFileInformationByHandle(file, &held) != FALSE &&
         ::GetFileInformationByHandle(named.Get(), &now) != FALSE &&
         held.dwVolumeSerialNumber == now.dwVolumeSerialNumber &&
         held.nFileIndexHigh == now.nFileIndexHigh && held.nFileIndexLow == now.nFileIndexLow;
}

bool DeleteOpened(HANDLE file) {
  FILE_DISPOSITION_INFO dispose{};
  dispose.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

}  // namespace zephran::platform
