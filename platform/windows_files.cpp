// The profile and file services through kernel32's wide functions: paths
// arrive in UTF-8 and reach any file name; sections, keys and values are
// bytes in the ANSI code page, as the game reads them (windows_text.h).
#include "platform/windows_api.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_platform.h"
#include "platform/windows_entries.h"
#include "platform/windows_file_rights.h"
#include "platform/windows_newer_calls.h"
#include "platform/windows_save.h"
#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

// Read-only files are always listed; hidden files, system files and folders
// only when the mask asks for them.
bool Admits(unsigned mask, DWORD attributes) {
  const auto refused = [&](DWORD attribute, unsigned bit) {
    return (attributes & attribute) != 0 && (mask & bit) == 0;
  };
  return !refused(FILE_ATTRIBUTE_DIRECTORY, kAttrDirectory) &&
         !refused(FILE_ATTRIBUTE_HIDDEN, kAttrHidden) &&
         !refused(FILE_ATTRIBUTE_SYSTEM, kAttrSystem);
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf16FromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The profile functions copy the name into a MAX_PATH buffer of their own;
// a longer one has been seen to corrupt their heap, so it never reaches them.
constexpr std::size_t kLongestProfilePath = MAX_PATH - 1;

}  // namespace

std::string NativePlatform::ReadProfileString(std::string_view section, std::string_view key,
                                              std::string_view default_value, std::size_t capacity,
                                              const std::string& file) {
  constexpr std::size_t kLargestBuffer = std::numeric_limits<DWORD>::max();
  constexpr std::size_t kFirstBuffer = 4096;
  capacity = std::min(capacity, kLargestBuffer);
  if (capacity == 0) {
    return {};
  }
  const std::wstring path = Utf16FromUtf8(file);
  if (path.size() > kLongestProfilePath || TooLargeForAProfile(path)) {
    return std::string(default_value.substr(0, capacity - 1));
  }
  // The API wants terminated strings; an embedded NUL ends them as it would
  // have for any caller of it.
  const std::wstring section_text = Utf16FromAnsi(section);
  const std::wstring key_text = Utf16FromAnsi(key);
  const std::wstring default_text = Utf16FromAnsi(default_value);
  // A small buffer first, since callers ask for generous capacities. A value
  // that comes near the buffer's end may have been cut (to size - 1, or one
  // less where a closing quote was cut too), so it is asked for again with a
  // bigger buffer, up to the caller's capacity, which decides as the API does.
  std::wstring buffer(std::min(capacity, kFirstBuffer), L'\0');
  for (;;) {
    const DWORD copied =
        ::GetPrivateProfileStringW(section_text.c_str(), key_text.c_str(), default_text.c_str(),
                                   buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    if (copied + std::size_t{2} < buffer.size() || buffer.size() == capacity) {
      buffer.resize(std::min<std::size_t>(copied, buffer.size() - 1));
      // A double-byte code page may need more bytes than characters.
      std::string value = AnsiFromUtf16(buffer);
      value.resize(std::min(value.size(), capacity - 1));
      return value;
    }
    buffer.resize(std::min(capacity, 2 * buffer.size()));
  }
}

std::vector<std::string> NativePlatform::ReadProfileStrings(const std::vector<ProfileKey>& keys,
                                                            std::string_view default_value,
                                                            std::size_t capacity,
                                                            const std::string& file) {
  // The system keeps the file it last read, so key by key costs no more
  // readings of it.
  std::vector<std::string> values;
  values.reserve(keys.size());
  for (const ProfileKey& wanted : keys) {
    values.push_back(ReadProfileString(wanted.section, wanted.key, default_value, capacity, file));
  }
  return values;
}

bool NativePlatform::WriteProfileString(std::string_view section, std::string_view key,
                                        std::string_view value, const std::string& file) {
  return WriteProfileStrings({{std::string(section), std::string(key), std::string(value)}}, file)
      .saved;
}

SaveResult NativePlatform::WriteProfileStrings(const std::vector<ProfileValue>& values,
                                               const std::string& file) {
  return SaveProfileValues(values, file, ReplaceMethod::Detect);
}

void NativePlatform::FinishInterruptedSave(const std::string& file) {
  platform::FinishInterruptedSave(file);
}

std::string NativePlatform::FirstDirEntry(const std::string& pattern, unsigned mask) {
  if (pattern.empty()) {
    return {};
  }
  // FindFirstFile fails for "folder\", where the runtime's Dir gave the
  // folder's first entry, which is always ".".
  if (pattern.back() == '\\' || pattern.back() == '/') {
    return IsFolder(pattern) && Trusted(pattern.substr(0, pattern.size() - 1)) ? "." : "";
  }
  const std::wstring wide = Utf16FromUtf8(pattern);
  WIN32_FIND_DATAW entry{};
  const FindHandle search(::FindFirstFileW(wide.c_str(), &entry));
  if (!search.Valid()) {
    return {};
  }
  const std::wstring folder = FolderPart(wide);
  do {
    const std::wstring name = entry.cFileName;
    if (Admits(mask, entry.dwFileAttributes) &&
        (name == L"." || name == L".." || Trusted(Utf8FromUtf16(Joined(folder, name))))) {
      return Utf8FromUtf16(name);
    }
  } while (::FindNextFileW(search.Get(), &entry) != FALSE);
  return {};
}

bool NativePlatform::Trusted(const std::string& entry) {
  return TrustOfPath(Utf16FromUtf8(entry), shared_folders_).stranger.empty();
}

void NativePlatform::SetNormalAttributes(const std::string& file) {
  // A missing file is no error here; the write that follows reports it. A
  // link is left alone, as on Linux: the reset must not reach a file outside
  // the installation (under Wine it would change the mode of its target).
  const std::wstring path = Utf16FromUtf8(file);
  const FileHandle handle(OpenEntry(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES));
  if (!handle.Valid() || !IsPlainFileAt(handle.Get(), path)) {
    return;
  }
  SetAttributesOpened(handle.Get(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace zephran::platform
