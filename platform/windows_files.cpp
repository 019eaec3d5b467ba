// The profile and file services through kernel32. Everything here uses the
// ANSI ("A") functions, like the rest of the launcher's Windows side: names
// and values are bytes in the ANSI code page. std::filesystem is not used:
// MinGW's converts narrow names by the C runtime's locale instead, so a name
// with accents could mean one file to it and another to the A functions.
#include "platform/windows_api.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "platform/native_platform.h"

namespace zephran::platform {

namespace {

// Closes a FindFirstFile search on every way out.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (Valid()) {
      ::FindClose(handle_);
    }
  }

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

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
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ToText(std::string_view text) {
  // The API wants terminated strings; an embedded NUL ends them as it would
  // have for any caller of it.
  return std::string(text);
}

// Neither read nor rewritten: the profile functions would read it whole.
bool TooLarge(const std::string& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return ::GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data) != FALSE &&
         ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) >
             kLargestProfileFile;
}

// The system's own words for an error code, without the line break it ends
// them with.
std::string SystemMessage(DWORD error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message =
      length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(error);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

std::string NativePlatform::ReadProfileString(std::string_view section, std::string_view key,
                                              std::string_view default_value, std::size_t capacity,
                                              const std::string& file) {
  constexpr std::size_t kLargestBuffer = std::numeric_limits<DWORD>::max();
  constexpr std::size_t kFirstBuffer = 4096;
  const std::string section_text = ToText(section);
  const std::string key_text = ToText(key);
  const std::string default_text = ToText(default_value);
  capacity = std::min(capacity, kLargestBuffer);
  if (capacity == 0) {
    return {};
  }
  if (TooLarge(file)) {
    return default_text.substr(0, capacity - 1);
  }
  // A small buffer first, since callers ask for generous capacities. A value
  // that comes near the buffer's end may have been cut (to size - 1, or one
  // less where a closing quote was cut too), so it is asked for again with a
  // bigger buffer, up to the caller's capacity, which decides as the API does.
  std::string buffer(std::min(capacity, kFirstBuffer), '\0');
  for (;;) {
    const DWORD copied =
        ::GetPrivateProfileStringA(section_text.c_str(), key_text.c_str(), default_text.c_str(),
                                   buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    if (copied + std::size_t{2} < buffer.size() || buffer.size() == capacity) {
      buffer.resize(std::min<std::size_t>(copied, buffer.size() - 1));
      return buffer;
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
  return ::WritePrivateProfileStringA(ToText(section).c_str(), ToText(key).c_str(),
                                      ToText(value).c_str(), file.c_str()) != FALSE;
}

SaveResult NativePlatform::WriteProfileStrings(const std::vector<ProfileValue>& values,
                                               const std::string& file) {
  if (TooLarge(file)) {
    return SaveResult{false, "it is larger than 1 MiB, too large for a settings file"};
  }
  // The system's profile functions write key by key; stopping at the first
  // failure at least keeps the later keys from landing without it.
  for (const ProfileValue& entry : values) {
    if (::WritePrivateProfileStringA(entry.section.c_str(), entry.key.c_str(), entry.value.c_str(),
                                     file.c_str()) == FALSE) {
      return SaveResult{false, SystemMessage(::GetLastError())};
    }
  }
  return SaveResult{true, {}};
}

std::string NativePlatform::FirstDirEntry(const std::string& pattern, unsigned mask) {
  if (pattern.empty()) {
    return {};
  }
  // FindFirstFile fails for "folder\", where the runtime's Dir gave the
  // folder's first entry, which is always ".".
  if (pattern.back() == '\\' || pattern.back() == '/') {
    return IsFolder(pattern) ? "." : "";
  }
  WIN32_FIND_DATAA entry{};
  const FindHandle search(::FindFirstFileA(pattern.c_str(), &entry));
  if (!search.Valid()) {
    return {};
  }
  do {
    if (Admits(mask, entry.dwFileAttributes)) {
      return entry.cFileName;
    }
  } while (::FindNextFileA(search.Get(), &entry) != FALSE);
  return {};
}

void NativePlatform::SetNormalAttributes(const std::string& file) {
  // A missing file is no error here; the write that follows reports it.
  ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace zephran::platform
