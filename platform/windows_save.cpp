// Saving the settings file on Windows, and under Wine where Linux players
// run this program: the system's own profile writer works on a copy beside
// the file, the copy is checked and then takes the file's place, all under
// the save lock that every launcher takes (save_marker.h).
#include "platform/windows_save.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_platform.h"
#include "platform/profile_file.h"
#include "platform/save_marker.h"
#include "platform/windows_api.h"
#include "platform/windows_entries.h"
#include "platform/windows_file_rights.h"
#include "platform/windows_system_library.h"
#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The profile functions copy the name into a MAX_PATH buffer of their own;
// a longer one has been seen to corrupt their heap, so it never reaches
// them. They write to the working copy, whose name is the file's and a bit.
constexpr std::size_t kLongestProfilePath = MAX_PATH - 1;
constexpr std::size_t kLongestSettingsPath = kLongestProfilePath - kSaveWorkingNameExtra;

// Another program that holds the file open mostly lets go within moments;
// much longer means something is stuck, and the player is better told.
constexpr DWORD kInUseWaitMs = 2000;
constexpr DWORD kInUsePollMs = 50;
// How often the file may change under us before we give up.
constexpr int kAttempts = 5;
// Where the system has no locks, a marker younger than this may still be
// in use: a save takes milliseconds, also over a network.
constexpr ULONGLONG kAbandonedAfter100ns = 60ULL * 10'000'000ULL;
// A marker is a few short lines.
constexpr std::size_t kLargestMarker = 4096;

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

// A clock that never wraps (XP's tick count would, every 49.7 days).
std::chrono::steady_clock::time_point InUseDeadline() {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(kInUseWaitMs);
}

// Runs `attempt` (which gives 0 or an error code) again while `busy` says
// another program is in the way, for kInUseWaitMs at most.
template <typename Attempt, typename Busy>
DWORD WhileBusy(const Attempt& attempt, const Busy& busy) {
  const auto deadline = InUseDeadline();
  for (;;) {
    const DWORD error = attempt();
    if (!busy(error) || std::chrono::steady_clock::now() >= deadline) {
      return error;
    }
    ::Sleep(kInUsePollMs);
  }
}

template <typename Attempt>
DWORD WhileInUse(const Attempt& attempt) {
  return WhileBusy(attempt, InUse);
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Someone else has the file open: it cannot be opened sharing nothing.
bool HeldOpenElsewhere(const std::wstring& path) {
  const FileHandle alone(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  return !alone.Valid() && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// Up to `limit` + 1 bytes of an open file from its start, or the error.
DWORD ReadHandle(HANDLE file, std::size_t limit, std::string& bytes) {
  bytes.assign(limit + 1, '\0');
  std::size_t total = 0;
  DWORD got = 0;
  BOOL read = TRUE;
  while (total < bytes.size() &&
         (read = ::ReadFile(file, bytes.data() + total, static_cast<DWORD>(bytes.size() - total),
                            &got, nullptr)) != FALSE &&
         got > 0) {
    total += got;
  }
  bytes.resize(total);
  return read != FALSE ? ERROR_SUCCESS : ::GetLastError();
}

// The file's bytes (at most one more than kLargestProfileFile), or the error.
DWORD ReadBytes(const std::wstring& path, std::string& bytes) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() ? ReadHandle(file.Get(), kLargestProfileFile, bytes) : ::GetLastError();
}

DWORD WriteHandle(HANDLE file, std::string_view bytes) {
  // A short write (a nearly full disk) is followed by one that says why.
  while (!bytes.empty()) {
    DWORD written = 0;
    if (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ==
        FALSE) {
      return ::GetLastError();
    }
    if (written == 0) {
      return ERROR_DISK_FULL;
    }
    bytes.remove_prefix(written);
  }
  return ::FlushFileBuffers(file) != FALSE ? ERROR_SUCCESS : ::GetLastError();
}

DWORD FlushToDisk(const std::wstring& path) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() && ::FlushFileBuffers(file.Get()) != FALSE ? ERROR_SUCCESS : ::GetLastError();
}

// Removes a file this launcher made, and only that: the entry must still be
// the plain file of that name, not something put in its place since, nor
// anyone else's.
void RemoveOwnFile(const std::wstring& path) {
  const FileHandle file(OpenEntry(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES));
  if (file.Valid() && IsPlainFileAt(file.Get(), path) && OwnedByPlayerOrSystem(file.Get())) {
    DeleteOpened(file.Get());
  }
}

// Where writes to `path` land: through a link to its target, so that the
// link stays and its target is replaced. `path` itself when it is missing.
std::wstring WhereItLeads(const std::wstring& path) {
  const FileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::wstring final_path = file.Valid() ? FinalPath(file.Get()) : std::wstring();
  return final_path.empty() ? path : final_path;
}

// The name of an existing entry as its folder spells it (the system finds
// it whatever the case of `path`), UTF-8; empty text when it is missing.
std::string OnDiskName(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  const FindHandle search(::FindFirstFileW(path.c_str(), &found));
  return search.Valid() ? Utf8FromUtf16(found.cFileName) : std::string();
}

std::wstring Sibling(const std::wstring& path, std::string_view name) {
  return Joined(FolderPart(path), Utf16FromUtf8(name));
}

// 0 when this handle now holds the save lock, ERROR_LOCK_VIOLATION when
// another launcher does, or why the system cannot lock here.
DWORD TryLock(HANDLE marker) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(kSaveLockOffset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(kSaveLockOffset >> 32);
  return ::LockFileEx(marker, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      static_cast<DWORD>(kSaveLockLength), 0, &at) != FALSE
             ? ERROR_SUCCESS
             : ::GetLastError();
}

bool Recent(HANDLE file) {
  FILETIME written{};
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  if (::GetFileTime(file, nullptr, nullptr, &written) == FALSE) {
    return true;
  }
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return ticks(now) < ticks(written) + kAbandonedAfter100ns;
}

// The save lock of one file, held: the marker beside the file, created by
// us and locked. Leaving it removes the marker.
class SaveMarker {
 public:
  explicit SaveMarker(HANDLE handle) : handle_(handle) {}
  SaveMarker(const SaveMarker&) = delete;
  SaveMarker& operator=(const SaveMarker&) = delete;
  ~SaveMarker() { DeleteOpened(handle_.Get()); }

  // Appends one whole line, on the disk when this returns 0.
  DWORD Append(std::string_view line) {
    LARGE_INTEGER start{};
    if (::SetFilePointerEx(handle_.Get(), start, nullptr, FILE_END) == FALSE) {
      return ::GetLastError();
    }
    return WriteHandle(handle_.Get(), line);
  }

 private:
  FileHandle handle_;
};

// A file the Linux program was rewriting in place when it died gets its old
// bytes back from the recovery copy its marker names, in place. The copy is
// believed only as the plain file of that name with one name of its own;
// the file must be the plain file of its name too. False when that cannot
// be done now: the marker and the copy then stay.
bool RestoreRewrite(const std::wstring& marker_path, const SaveMarkerRecord& record) {
  const std::wstring copy_path = Sibling(marker_path, record.rewriting);
  const std::wstring file_path = Sibling(marker_path, record.file);
  const FileHandle copy(OpenEntry(copy_path, GENERIC_READ));
  if (!copy.Valid()) {
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const FileHandle file(OpenEntry(file_path, GENERIC_WRITE | FILE_READ_ATTRIBUTES));
  std::string bytes;
  if (!file.Valid() || !OwnedByPlayerOrSystem(copy.Get()) ||
      !IsPlainFileAt(copy.Get(), copy_path) || !IsPlainFileAt(file.Get(), file_path) ||
      ::GetFileInformationByHandle(copy.Get(), &info) == FALSE || info.nNumberOfLinks != 1 ||
      ReadHandle(copy.Get(), kLargestProfileFile, bytes) != ERROR_SUCCESS ||
      bytes.size() > kLargestProfileFile) {
    return false;
  }
  LARGE_INTEGER start{};
  if (::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) == FALSE ||
      WriteHandle(file.Get(), bytes) != ERROR_SUCCESS || ::SetEndOfFile(file.Get()) == FALSE ||
      ::FlushFileBuffers(file.Get()) == FALSE) {
    return false;
  }
  RemoveOwnFile(copy_path);
  return true;
}

// Puts back or removes what a dead save left, from its marker's record.
// False when a file rewritten in place could not be put back.
bool UndoAbandonedSave(const std::wstring& marker_path, const SaveMarkerRecord& record) {
  if (record.file.empty()) {
    return true;
  }
  if (!record.rewriting.empty() && !RestoreRewrite(marker_path, record)) {
    return false;
  }
  const std::wstring file = Sibling(marker_path, record.file);
  if (!record.backup.empty()) {
    const std::wstring backup = Sibling(marker_path, record.backup);
    bool plain = false;
    {
      const FileHandle kept(OpenEntry(backup, READ_CONTROL | FILE_READ_ATTRIBUTES));
      plain =
          kept.Valid() && IsPlainFileAt(kept.Get(), backup) && OwnedByPlayerOrSystem(kept.Get());
    }
    // Killed between ReplaceFileW's two steps: the file is there under its
    // backup name only.
    if (plain && !Exists(file) && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
      ::MoveFileExW(backup.c_str(), file.c_str(), MOVEFILE_WRITE_THROUGH);
    } else if (plain) {
      RemoveOwnFile(backup);
    }
  }
  if (!record.copy.empty()) {
    RemoveOwnFile(Sibling(marker_path, record.copy));
  }
  return true;
}

// What stands in the way when a marker is another user's. Under Wine every
// other user's file looks alike, so this program can neither finish their
// save nor tell it from a file planted to look like one.
std::string OthersMarkerText(const std::optional<SaveMarkerRecord>& record) {
  if (record && !record->rewriting.empty()) {
    return "belongs to another user, whose save of " + record->file +
           " did not finish and may have left it half written: that user's launcher can finish "
           "it (or, if no save of theirs was cut short, remove it)";
  }
  return "belongs to another user and is no save of this launcher's; remove it, or ask its owner "
         "to";
}

// Another user's marker may be ours to look at but not to remove; one on
// its way out cannot be opened at all.
HANDLE OpenMarker(const std::wstring& path) {
  const HANDLE marker = OpenEntry(path, GENERIC_READ | GENERIC_WRITE | DELETE);
  return marker == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED
             ? OpenEntry(path, GENERIC_READ)
             : marker;
}

// A marker whose launcher is gone: what its save left is put right, then it
// goes. One that is locked belongs to a launcher saving right now.
SaveLockTry ClearAbandonedSave(const std::wstring& marker_path) {
  const std::string marker_name = Utf8FromUtf16(NamePart(marker_path));
  const FileHandle marker(OpenMarker(marker_path));
  if (!marker.Valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      return {SaveLockStep::Again, {}};
    }
    return error == ERROR_ACCESS_DENIED || InUse(error)
               ? SaveLockTry{SaveLockStep::Wait, {}}
               : SaveLockTry{SaveLockStep::Failed, Because("cannot open " + marker_name, error)};
  }
  // One that went meanwhile was a save that ended: the caller tries again.
  const auto not_ours = [&] {
    return StillAt(marker.Get(), marker_path) ? SaveLockTry{SaveLockStep::NotOurs, {}}
                                              : SaveLockTry{SaveLockStep::Again, {}};
  };
  if (!IsPlainFileAt(marker.Get(), marker_path)) {
    return not_ours();
  }
  const DWORD locked = TryLock(marker.Get());
  if (locked == ERROR_LOCK_VIOLATION || (locked != ERROR_SUCCESS && Recent(marker.Get()))) {
    return {SaveLockStep::Wait, {}};
  }
  std::string bytes;
  if (const DWORD error = ReadHandle(marker.Get(), kLargestMarker, bytes); error != 0) {
    return {SaveLockStep::Failed, Because("cannot read " + marker_name, error)};
  }
  const std::optional<SaveMarkerRecord> record =
      bytes.size() <= kLargestMarker
          ? ParseSaveMarker(bytes, MarkedFileName(OnDiskName(marker_path)))
          : std::nullopt;
  const bool players = OwnedByPlayerOrSystem(marker.Get());
  if (!record || !players) {
    SaveLockTry refused = not_ours();
    if (refused.step == SaveLockStep::NotOurs && !players) {
      refused.reason = OthersMarkerText(record);
      // A save of theirs cut short while it rewrote the file in place may
      // have left it half written: nothing starts from it here.
      if (record && !record->rewriting.empty()) {
        refused.step = SaveLockStep::Failed;
        refused.reason = marker_name + " " + refused.reason;
      }
    }
    return refused;
  }
  if (!UndoAbandonedSave(marker_path, *record)) {
    return {SaveLockStep::Failed, marker_name + " was left by a save that did not finish, and " +
                                      record->file + " cannot be put back from " +
                                      record->rewriting};
  }
  // Under Wine the removal happens at the close, by name: the name must
  // still be this marker's.
  if (!StillAt(marker.Get(), marker_path)) {
    return {SaveLockStep::Again, {}};
  }
  if (!DeleteOpened(marker.Get())) {
    return {SaveLockStep::Failed,
            Because(marker_name + " was left by a save that did not finish, and "
                                  "cannot be removed",
                    ::GetLastError())};
  }
  return {SaveLockStep::Again, {}};
}

// One try at the save lock of `target`: our marker, created exclusively,
// locked and checked to be in place, or the marker in the way cleared when
// its launcher is gone.
SaveLockTry TryToLockSave(const std::wstring& target, const std::wstring& path,
                          std::optional<SaveMarker>& marker) {
  FileHandle created(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!created.Valid()) {
    const DWORD error = ::GetLastError();
    const bool there = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       (error == ERROR_ACCESS_DENIED && Exists(path));
    return there ? ClearAbandonedSave(path)
                 : SaveLockTry{SaveLockStep::Failed,
                               Because("cannot create a file beside it", error)};
  }
  // Another launcher may have taken it, empty and not yet locked, for a dead
  // save's and be clearing it: then it is not ours. A system without locks
  // (some network shares) still has the exclusive creation; the marker's age
  // then tells a dead save.
  if (TryLock(created.Get()) == ERROR_LOCK_VIOLATION) {
    return {SaveLockStep::Wait, {}};
  }
  const DWORD error = WriteHandle(created.Get(), SaveMarkerStart(Utf8FromUtf16(NamePart(target))));
  if (error != ERROR_SUCCESS) {
    DeleteOpened(created.Get());
    return {SaveLockStep::Failed, Because("cannot write a file beside it", error)};
  }
  if (!StillAt(created.Get(), path)) {
    return {SaveLockStep::Again, {}};
  }
  marker.emplace(created.Release());
  return {SaveLockStep::Taken, {}};
}

// Takes the save lock of `target`; empty text when taken, else why not.
// `linked`: the file is a link to `target`, and the marker, beside the
// target, is named in full.
std::string TakeSaveLock(const std::wstring& target, bool linked,
                         std::optional<SaveMarker>& marker) {
  const std::wstring path = target + Utf16FromUtf8(kSaveMarkerSuffix);
  const std::string name = Utf8FromUtf16(NamePart(path));
  return TakeSaveLockBy(name, linked ? Utf8FromUtf16(path) : name + " beside it",
                        [&] { return TryToLockSave(target, path, marker); });
}

// A dead save this launcher cannot finish may have left the file half
// written, and nothing may start from it: why not, when there is one. One
// look: a save running now is another launcher's, which may be the very one
// that wrote these values.
std::string UnfinishedSave(const std::wstring& target) {
  const std::wstring marker = target + Utf16FromUtf8(kSaveMarkerSuffix);
  if (!Exists(marker)) {
    return {};
  }
  SaveLockTry tried = ClearAbandonedSave(marker);
  return tried.step == SaveLockStep::Failed ? std::move(tried.reason) : std::string();
}

// A working file beside `target`, under a name no one else uses, recorded
// in the marker before it is created (exclusively), so that a kill at any
// moment leaves nothing the marker does not name.
struct WorkingFile {
  std::wstring path;
  DWORD error = ERROR_SUCCESS;
};

WorkingFile CreateWorkingFile(const std::wstring& target, SaveMarkerName kind, SaveMarker& marker,
                              std::string_view bytes) {
  const std::string file = Utf8FromUtf16(NamePart(target));
  const unsigned seed = ::GetCurrentProcessId() * 2654435761u + ::GetTickCount();
  for (unsigned attempt = 0; attempt < 64; ++attempt) {
    const std::string name = SaveWorkingName(file, (seed + attempt * 40503u) & 0xFFFFu, kind);
    const std::wstring path = Sibling(target, name);
    if (Exists(path)) {
      continue;  // a dead save's, or planted
    }
    if (const DWORD error = marker.Append(SaveMarkerLine(kind, name)); error != ERROR_SUCCESS) {
      return {{}, error};
    }
    const FileHandle created(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!created.Valid()) {
      const DWORD error = ::GetLastError();
      // A link planted there, leading nowhere, looks missing until then; the
      // marker's next line for this kind supersedes the one just written.
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        continue;
      }
      return {{}, error};
    }
    if (const DWORD error = WriteHandle(created.Get(), bytes); error != ERROR_SUCCESS) {
      DeleteOpened(created.Get());
      return {{}, error};
    }
    return {path, ERROR_SUCCESS};
  }
  return {{}, ERROR_FILE_EXISTS};
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

bool UsesOneRename(ReplaceMethod method) {
  // Wine's ReplaceFileW moves the file aside and then the copy in: a reader
  // in between finds no settings. Wine keeps no ACLs or streams, so one
  // rename loses nothing there.
  return method == ReplaceMethod::OneRename ||
         (method == ReplaceMethod::Detect && RunningUnderWine());
}

// One rename over the file. Wine (like Windows) refuses to replace a file
// someone has open, the game reading it say, which lets go within moments.
SaveResult ReplaceInOneStep(const std::wstring& target, const std::wstring& copy) {
  const DWORD error = WhileBusy(
      [&]() -> DWORD {
        return ::MoveFileExW(copy.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE
                   ? ERROR_SUCCESS
                   : ::GetLastError();
      },
      // Wine refuses the rename while another program has the file open
      // without sharing its deletion (its profile reader does), which may be
      // over before we can see it: a refusal is tried again for a while.
      [&](DWORD error) { return InUse(error) || error == ERROR_ACCESS_DENIED; });
  if (error == ERROR_SUCCESS) {
    return Saved();
  }
  return Failed(InUse(error) || HeldOpenElsewhere(target)
                    ? std::string("another program holds it open")
                    : Because("cannot replace it", error));
}

// ReplaceFileW, which keeps the original's attributes, ACL and streams. The
// original goes to a backup of ours first, recorded in the marker, so that
// a kill between its two steps leaves something the next start puts back.
SaveResult ReplaceKeepingSecurity(const std::wstring& target, const std::wstring& copy,
                                  SaveMarker& marker) {
  const WorkingFile backup = CreateWorkingFile(target, SaveMarkerName::Backup, marker, {});
  if (backup.path.empty()) {
    return Failed(Because("cannot create a file beside it", backup.error));
  }
  const DWORD error = WhileInUse([&]() -> DWORD {
    return ::ReplaceFileW(target.c_str(), copy.c_str(), backup.path.c_str(),
                          REPLACEFILE_WRITE_THROUGH, nullptr, nullptr) != FALSE
               ? ERROR_SUCCESS
               : ::GetLastError();
  });
  switch (error) {
    case ERROR_SUCCESS:
      RemoveOwnFile(backup.path);
      return Saved();
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // The original went to the backup and the copy could not follow.
      if (!Exists(target)) {
        ::MoveFileExW(backup.path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      }
      RemoveOwnFile(backup.path);
      return Failed(Because("cannot replace it", error));
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
      // Some network file systems have no ReplaceFileW.
      RemoveOwnFile(backup.path);
      return ReplaceInOneStep(target, copy);
    default:
      RemoveOwnFile(backup.path);
      return Failed(InUse(error) ? std::string("another program holds it open")
                                 : Because("cannot replace it", error));
  }
}

// The system's writer on a copy of the file, checked and put in place; any
// failure leaves the original as it was. nullopt when the file changed while
// we worked.
std::optional<SaveResult> SaveThroughCopy(const std::vector<ProfileValue>& values,
                                          const std::wstring& target, DWORD attributes,
                                          ReplaceMethod method, SaveMarker& marker) {
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  std::string before;
  if (existed) {
    const DWORD error = WhileInUse([&] { return ReadBytes(target, before); });
    if (error != ERROR_SUCCESS) {
      return Failed(InUse(error) ? std::string("another program holds it open")
                                 : Because("cannot read it", error));
    }
  }
  // The player's only copy is never written: the system's writer works on a
  // copy beside it, which is checked and then put in its place.
  const WorkingFile made = CreateWorkingFile(target, SaveMarkerName::Copy, marker, before);
  if (made.path.empty()) {
    return Failed(Because("cannot write a copy beside it", made.error));
  }
  const std::wstring& copy = made.path;
  const auto give_up = [&](std::string reason) {
    RemoveOwnFile(copy);
    return Failed(std::move(reason));
  };
  for (const ProfileValue& entry : values) {
    if (::WritePrivateProfileStringW(Utf16FromAnsi(entry.section).c_str(),
                                     Utf16FromAnsi(entry.key).c_str(),
                                     Utf16FromAnsi(entry.value).c_str(), copy.c_str()) == FALSE) {
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
  if (!WrittenWhole(values, existed ? ListKeys(target) : std::vector<ProfileKey>{}, before,
                    after)) {
    // The system's writer reports success on a full disk and leaves the file cut.
    return give_up("it could not be written whole (is the disk full?)");
  }
  // Another program's write since we read the file must not be undone: its
  // bytes are read again, with the copy made from them.
  if (existed) {
    std::string now;
    const DWORD error = WhileInUse([&] { return ReadBytes(target, now); });
    if (error != ERROR_SUCCESS) {
      return give_up(InUse(error) ? std::string("another program holds it open")
                                  : Because("cannot read it", error));
    }
    if (now != before) {
      RemoveOwnFile(copy);
      return std::nullopt;
    }
  } else if (Exists(target)) {
    RemoveOwnFile(copy);
    return std::nullopt;  // created meanwhile
  }
  if (!existed) {
    if (::MoveFileExW(copy.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) == FALSE) {
      return give_up(Because("cannot create it", ::GetLastError()));
    }
    return Saved();
  }
  SaveResult result = UsesOneRename(method) ? ReplaceInOneStep(target, copy)
                                            : ReplaceKeepingSecurity(target, copy, marker);
  if (!result.saved) {
    RemoveOwnFile(copy);
    return result;
  }
  // ReplaceFileW keeps them on Windows; Wine's, and a rename, give the file
  // the copy's.
  if (::GetFileAttributesW(target.c_str()) != attributes) {
    ::SetFileAttributesW(target.c_str(), attributes);
  }
  return result;
}

std::string LengthRefusal(std::size_t length, std::string_view what) {
  return std::string(what) + std::to_string(length) +
         " characters long, and Windows' profile functions take at most " +
         std::to_string(kLongestSettingsPath) + " here";
}

// The file already holds every value as the game reads it: nothing needs
// writing, so a read-only installation set up as the player wants it plays.
bool HoldsAlready(const std::vector<ProfileValue>& values, const std::string& file) {
  NativePlatform reader;
  return std::all_of(values.begin(), values.end(), [&](const ProfileValue& entry) {
    return reader.ReadProfileString(entry.section, entry.key, "\n", kLargestProfileFile, file) ==
           entry.value;
  });
}

}  // namespace

bool TooLargeForAProfile(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE &&
         ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) >
             kLargestProfileFile;
}

SaveResult SaveProfileValues(const std::vector<ProfileValue>& values, const std::string& file,
                             ReplaceMethod method) {
  const std::wstring path = Utf16FromUtf8(file);
  if (path.size() > kLongestSettingsPath) {
    return Failed(LengthRefusal(path.size(), "its path is "));
  }
  // Where every user may add files, a file of another's, or a link anyone
  // could have planted to lead the save to a file of the player's, is not
  // the game's to write.
  SharedFolders known;
  if (const PathTrust trust = TrustOfPath(path, known); !trust.stranger.empty()) {
    return Failed(StrangersEntryText(trust));
  }
  const std::wstring target = WhereItLeads(path);
  if (target.size() > kLongestSettingsPath) {
    return Failed(LengthRefusal(target.size(), "it is a link to a path "));
  }
  if (TooLargeForAProfile(target)) {
    return Failed("it is larger than 1 MiB, too large for a settings file");
  }
  if (HoldsAlready(values, file)) {
    std::string unfinished = UnfinishedSave(target);
    return unfinished.empty() ? Saved() : Failed(std::move(unfinished));
  }
  std::optional<SaveMarker> marker;
  if (std::string refusal = TakeSaveLock(target, target != path, marker); !refusal.empty()) {
    return Failed(std::move(refusal));
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Failed("it is a folder");
    }
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return Failed("it is read-only");
    }
    if (std::optional<SaveResult> result =
            SaveThroughCopy(values, target, attributes, method, *marker)) {
      return *result;
    }
  }
  return Failed("other programs kept changing it");
}

void FinishInterruptedSave(const std::string& file) {
  const std::wstring marker = Utf16FromUtf8(file) + Utf16FromUtf8(kSaveMarkerSuffix);
  if (!Exists(marker)) {
    return;  // as after every save that finished
  }
  const auto deadline = InUseDeadline();
  while (ClearAbandonedSave(marker).step == SaveLockStep::Wait &&
         std::chrono::steady_clock::now() < deadline) {
    ::Sleep(kInUsePollMs);
  }
}

std::string WithSaveLock(const std::string& file, const std::function<void()>& held) {
  std::optional<SaveMarker> marker;
  const std::wstring path = Utf16FromUtf8(file);
  const std::wstring target = WhereItLeads(path);
  std::string refusal = TakeSaveLock(target, target != path, marker);
  if (refusal.empty()) {
    held();
  }
  return refusal;
}

}  // namespace zephran::platform
