#include "platform/windows_entries.h"

#include <optional>
#include <string_view>

#include "platform/windows_newer_calls.h"

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

}  // namespace

HANDLE OpenEntry(const std::wstring& path, DWORD access) {
  return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::wstring FinalPath(HANDLE file) {
  std::optional<std::wstring> path = SystemFinalPath(file);
  return path ? WithoutLongPathPrefix(std::move(*path)) : std::wstring();
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
  const std::optional<std::wstring> final_path = SystemFinalPath(file);
  if (!final_path) {
    // XP cannot say where a file really is, and has no links to files, only
    // junctions to folders: those on the way are followed, as links in the
    // folders are everywhere, and the file itself was opened as itself
    // (a reparse point would have shown above).
    return true;
  }
  const FileHandle folder(OpenEntry(FolderPart(path), FILE_READ_ATTRIBUTES));
  if (!folder.Valid()) {
    return false;
  }
  const std::wstring folder_path = FinalPath(folder.Get());
  const std::wstring file_path = WithoutLongPathPrefix(*final_path);
  return !folder_path.empty() && !file_path.empty() &&
         SameNameIgnoringCase(file_path, Joined(folder_path, NamePart(path)));
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
  return MarkOpenedForDeletion(file);
}

}  // namespace zephran::platform
