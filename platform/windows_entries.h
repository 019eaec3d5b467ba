#pragma once

// Files and folders as handles, for the Windows side: a name is looked up
// once and everything after acts on what it led to. Under Wine a Windows
// path is a Linux folder with Linux links in it, and a link there looks like
// a plain file to every attribute call: deleting it deletes what it points
// to, renaming it moves that. Only the path a handle really leads to tells.
#include "platform/windows_api.h"

#include <string>
#include <utility>

namespace zephran::platform {

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

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

using FindHandle = ScopedHandle<::FindClose>;
using FileHandle = ScopedHandle<::CloseHandle>;

// Opens an existing entry without standing in anyone's way (every kind of
// sharing), and a Windows link as itself rather than what it leads to.
HANDLE OpenEntry(const std::wstring& path, DWORD access);

// Where an open file really is, as a plain path (no "\\?\" prefix), or
// empty text when the system cannot say (always on XP, where no link leads
// to a file).
std::wstring FinalPath(HANDLE file);

std::wstring FolderPart(const std::wstring& path);  // "C:\a\b" -> "C:\a", "C:\b" -> "C:\"
std::wstring NamePart(const std::wstring& path);
std::wstring Joined(const std::wstring& folder, const std::wstring& name);  // one separator

// The open `file` is the regular file named `path` in that folder itself:
// not a folder, not a link (Windows' or, under Wine, Linux's) that leads
// elsewhere. The folder may be reached through links; the last name may not.
bool IsPlainFileAt(HANDLE file, const std::wstring& path);

// `path` names the open file itself still: not removed or replaced since.
bool StillAt(HANDLE file, const std::wstring& path);

// Deletes the open file (it needs DELETE access): the entry checked is the
// one removed, whatever its name leads to by now.
bool DeleteOpened(HANDLE file);

}  // namespace zephran::platform
