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
#include "platform/profile_file.h"
#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

// Closes a handle on every way out: a file with CloseHandle, a FindFirstFile
// search with FindClose.
template <BOOL(WINAPI* Close)(HANDLE)>
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (Valid()) {
      Close(handle_);
    }
  }

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

using FindHandle = ScopedHandle<::FindClose>;
using FileHandle = ScopedHandle<::CloseHandle>;

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

// The API wants terminated strings; an embedded NUL ends them as it would
// have for any caller of it.
std::wstring ProfileText(std::string_view text) {
  return Utf16FromAnsi(text);
}

// Neither read nor rewritten: the profile functions would read it whole.
bool TooLarge(const std::string& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return ::GetFileAttributesExW(Utf16FromUtf8(file).c_str(), GetFileExInfoStandard, &data) !=
             FALSE &&
         ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) >
             kLargestProfileFile;
}

// The profile functions copy the name into a MAX_PATH buffer of their own;
// a longer one has been seen to corrupt their heap, so it never reaches them.
constexpr std::size_t kLongestProfilePath = MAX_PATH - 1;

// Beside the file during a save: the copy the writes go to, and the
// original while ReplaceFileW swaps the two. Short, since they count
// against kLongestProfilePath too.
constexpr std::wstring_view kCopySuffix = L".new~";
constexpr std::wstring_view kKeptSuffix = L".old~";

// Another program that holds the file open mostly lets go within moments;
// much longer means something is stuck, and the player is better told.
constexpr DWORD kInUseWaitMs = 2000;
constexpr DWORD kInUsePollMs = 50;
// How often the file may change under us before we give up.
constexpr int kAttempts = 5;

SaveResult Saved() {
  return SaveResult{true, {}};
}

SaveResult Failed(std::string reason) {
  return SaveResult{false, std::move(reason)};
}

std::string Because(std::string_view what, DWORD error) {
  return std::string(what) + " (" + SystemErrorText(error) + ")";
}

bool InUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Runs `attempt` (which gives 0 or an error code) again while another
// program holds the file, for kInUseWaitMs at most.
template <typename Attempt>
DWORD WhileInUse(const Attempt& attempt) {
  const ULONGLONG deadline = ::GetTickCount64() + kInUseWaitMs;
  for (;;) {
    const DWORD error = attempt();
    if (!InUse(error) || ::GetTickCount64() >= deadline) {
      return error;
    }
    ::Sleep(kInUsePollMs);
  }
}

// The file's bytes (at most one more than kLargestProfileFile), or the error.
DWORD ReadBytes(const std::wstring& path, std::string& bytes) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return ::GetLastError();
  }
  bytes.assign(kLargestProfileFile + 1, '\0');
  DWORD got = 0;
  std::size_t total = 0;
  while (total < bytes.size() &&
         ::ReadFile(file.Get(), bytes.data() + total, static_cast<DWORD>(bytes.size() - total),
                    &got, nullptr) != FALSE &&
         got > 0) {
    total += got;
  }
  bytes.resize(total);
  return got == 0 || total == bytes.size() ? ERROR_SUCCESS : ::GetLastError();
}

// A new file holding `bytes`, on the disk when this returns 0.
DWORD WriteNewFile(const std::wstring& path, std::string_view bytes) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return ::GetLastError();
  }
  // A short write (a nearly full disk) is followed by one that says why.
  while (!bytes.empty()) {
    DWORD written = 0;
    if (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                    nullptr) == FALSE) {
      return ::GetLastError();
    }
    if (written == 0) {
      return ERROR_DISK_FULL;
    }
    bytes.remove_prefix(written);
  }
  return ::FlushFileBuffers(file.Get()) != FALSE ? ERROR_SUCCESS : ::GetLastError();
}

DWORD FlushToDisk(const std::wstring& path) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() && ::FlushFileBuffers(file.Get()) != FALSE ? ERROR_SUCCESS : ::GetLastError();
}

// A save killed midway leaves the copy, or, inside ReplaceFileW, the
// original under its kept name: that one goes back where it belongs.
void RecoverInterruptedSave(const std::wstring& path) {
  const std::wstring kept = path + std::wstring(kKeptSuffix);
  if (::GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ::MoveFileExW(kept.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
    } else {
      ::DeleteFileW(kept.c_str());
    }
  }
  ::DeleteFileW((path + std::wstring(kCopySuffix)).c_str());
}

// Every section and key of the file, as the system lists them, in the ANSI
// code page.
std::vector<ProfileKey> ListKeys(const std::wstring& path) {
  std::vector<ProfileKey> keys;
  // The lists are never longer than the file, which is at most
  // kLargestProfileFile bytes.
  std::wstring buffer(kLargestProfileFile + 2, L'\0');
  const DWORD names_length = ::GetPrivateProfileSectionNamesW(
      buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
  std::vector<std::wstring> sections;
  for (std::size_t at = 0; at < names_length && buffer[at] != L'\0';) {
    sections.emplace_back(buffer.c_str() + at);
    at += sections.back().size() + 1;
  }
  for (const std::wstring& section : sections) {
    const DWORD length = ::GetPrivateProfileSectionW(
        section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    for (std::size_t at = 0; at < length && buffer[at] != L'\0';) {
      const std::wstring_view entry(buffer.c_str() + at);
      at += entry.size() + 1;
      keys.push_back({AnsiFromUtf16(section), AnsiFromUtf16(entry.substr(0, entry.find(L'=')))});
    }
  }
  return keys;
}

// Section and key names match as the system matches them: without regard
// to case (the game's names are ASCII).
bool ProfileNamesMatch(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

// The copy as written to the disk reads, as the game reads it, the new
// values and every other key as the original did. The system's own reading
// of the copy cannot tell: it answers from what it meant to write.
bool WrittenWhole(const std::vector<ProfileValue>& values, const std::vector<ProfileKey>& keys,
                  const std::string& before, const std::string& after) {
  const auto written = [&](const ProfileKey& key) {
    return std::any_of(values.begin(), values.end(), [&](const ProfileValue& value) {
      return ProfileNamesMatch(value.section, key.section) && ProfileNamesMatch(value.key, key.key);
    });
  };
  for (const ProfileKey& key : keys) {
    if (!written(key) && FindProfileValue(before, key.section, key.key) !=
                             FindProfileValue(after, key.section, key.key)) {
      return false;
    }
  }
  // The last write of a key is the one that counts.
  for (auto value = values.rbegin(); value != values.rend(); ++value) {
    const bool later = std::any_of(values.rbegin(), value, [&](const ProfileValue& other) {
      return ProfileNamesMatch(other.section, value->section) &&
             ProfileNamesMatch(other.key, value->key);
    });
    if (!later && FindProfileValue(after, value->section, value->key) != value->value) {
      return false;
    }
  }
  return true;
}

// Puts the checked copy in place of the original in one step. ReplaceFileW
// keeps the original's attributes, ACL and streams; where it is not
// available (some network file systems), MoveFileExW still replaces in one
// step, with the copy's ACL.
SaveResult PutInPlace(const std::wstring& path, const std::wstring& copy, bool existed) {
  const std::wstring kept = path + std::wstring(kKeptSuffix);
  if (!existed) {
    if (::MoveFileExW(copy.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) == FALSE) {
      return Failed(Because("cannot create it", ::GetLastError()));
    }
    return Saved();
  }
  const DWORD error = WhileInUse([&]() -> DWORD {
    return ::ReplaceFileW(path.c_str(), copy.c_str(), kept.c_str(), REPLACEFILE_WRITE_THROUGH,
                          nullptr, nullptr) != FALSE
               ? ERROR_SUCCESS
               : ::GetLastError();
  });
  switch (error) {
    case ERROR_SUCCESS:
      ::DeleteFileW(kept.c_str());
      return Saved();
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // The original went to its kept name and the copy could not follow.
      if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ::MoveFileExW(kept.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
      } else {
        ::DeleteFileW(kept.c_str());
      }
      return Failed(Because("cannot replace it", error));
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
      if (::MoveFileExW(copy.c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
        return Saved();
      }
      return Failed(Because("cannot replace it", ::GetLastError()));
    default:
      ::DeleteFileW(kept.c_str());
      return Failed(InUse(error) ? std::string("another program holds it open")
                                 : Because("cannot replace it", error));
  }
}

// The system's writer on a copy of the file, checked and put in place; any
// failure leaves the original as it was. nullopt when the file changed while
// we worked.
std::optional<SaveResult> SaveThroughCopy(const std::vector<ProfileValue>& values,
                                          const std::wstring& path, DWORD attributes) {
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  std::string before;
  if (existed) {
    const DWORD error = WhileInUse([&] { return ReadBytes(path, before); });
    if (error != ERROR_SUCCESS) {
      return Failed(InUse(error) ? std::string("another program holds it open")
                                 : Because("cannot read it", error));
    }
  }
  // The player's only copy is never written: the system's writer works on a
  // copy beside it, which is checked and then put in its place.
  const std::wstring copy = path + std::wstring(kCopySuffix);
  const auto give_up = [&](std::string reason) {
    ::DeleteFileW(copy.c_str());
    return Failed(std::move(reason));
  };
  if (const DWORD error = WriteNewFile(copy, before); error != ERROR_SUCCESS) {
    return give_up(Because("cannot write a copy beside it", error));
  }
  for (const ProfileValue& entry : values) {
    if (::WritePrivateProfileStringW(ProfileText(entry.section).c_str(),
                                     ProfileText(entry.key).c_str(),
                                     ProfileText(entry.value).c_str(), copy.c_str()) == FALSE) {
      return give_up(Because("cannot write", ::GetLastError()));
    }
  }
  std::string after;
  if (const DWORD error = FlushToDisk(copy); error != ERROR_SUCCESS) {
    return give_up(Because("cannot write", error));
  }
  if (const DWORD error = ReadBytes(copy, after); error != ERROR_SUCCESS) {
    return give_up(Because("cannot read back what was written", error));
  }
  if (after.size() > kLargestProfileFile) {
    return give_up("the new values would make it larger than 1 MiB, too large for a settings file");
  }
  if (!WrittenWhole(values, existed ? ListKeys(path) : std::vector<ProfileKey>{}, before, after)) {
    // The system's writer reports success on a full disk and leaves the file cut.
    return give_up("it could not be written whole (is the disk full?)");
  }
  // Another program's write since we read the file must not be undone: its
  // bytes are read again, with the copy made from them.
  if (existed) {
    std::string now;
    const DWORD error = WhileInUse([&] { return ReadBytes(path, now); });
    if (error != ERROR_SUCCESS) {
      return give_up(InUse(error) ? std::string("another program holds it open")
                                  : Because("cannot read it", error));
    }
    if (now != before) {
      ::DeleteFileW(copy.c_str());
      return std::nullopt;
    }
  } else if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    ::DeleteFileW(copy.c_str());
    return std::nullopt;  // created meanwhile
  }
  SaveResult result = PutInPlace(path, copy, existed);
  if (!result.saved) {
    ::DeleteFileW(copy.c_str());
    return result;
  }
  // ReplaceFileW keeps them on Windows; Wine's gives the file the copy's.
  if (existed && ::GetFileAttributesW(path.c_str()) != attributes) {
    ::SetFileAttributesW(path.c_str(), attributes);
  }
  return result;
}

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
  if (Utf16FromUtf8(file).size() > kLongestProfilePath || TooLarge(file)) {
    return std::string(default_value.substr(0, capacity - 1));
  }
  const std::wstring section_text = ProfileText(section);
  const std::wstring key_text = ProfileText(key);
  const std::wstring default_text = ProfileText(default_value);
  const std::wstring path = Utf16FromUtf8(file);
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
  const std::wstring path = Utf16FromUtf8(file);
  if (path.size() + kCopySuffix.size() > kLongestProfilePath) {
    return Failed("its path is " + std::to_string(path.size()) +
                  " characters long, and Windows' profile functions take at most " +
                  std::to_string(kLongestProfilePath - kCopySuffix.size()) + " here");
  }
  RecoverInterruptedSave(path);
  if (TooLarge(file)) {
    return Failed("it is larger than 1 MiB, too large for a settings file");
  }
  // Read only first: a file that already holds every value needs no writing,
  // so a read-only installation set up as the player wants it still plays.
  if (std::all_of(values.begin(), values.end(), [&](const ProfileValue& entry) {
        return ReadProfileString(entry.section, entry.key, "\n", kLargestProfileFile, file) ==
               entry.value;
      })) {
    return Saved();
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Failed("it is a folder");
    }
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return Failed("it is read-only");
    }
    if (std::optional<SaveResult> result = SaveThroughCopy(values, path, attributes)) {
      return *result;
    }
  }
  return Failed("other programs kept changing it");
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
  WIN32_FIND_DATAW entry{};
  const FindHandle search(::FindFirstFileW(Utf16FromUtf8(pattern).c_str(), &entry));
  if (!search.Valid()) {
    return {};
  }
  do {
    if (Admits(mask, entry.dwFileAttributes)) {
      return Utf8FromUtf16(entry.cFileName);
    }
  } while (::FindNextFileW(search.Get(), &entry) != FALSE);
  return {};
}

void NativePlatform::SetNormalAttributes(const std::string& file) {
  // A missing file is no error here; the write that follows reports it.
  ::SetFileAttributesW(Utf16FromUtf8(file).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace zephran::platform
