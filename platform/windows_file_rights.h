#pragma once

// Whose a file is, as far as the Windows program can tell, and which folders
// every user may add files to. What a launcher finds in such a folder, or a
// save marker of someone else's, is believed by these rules only.
//
// Under Wine a file's owner is the runner's own account when the Linux owner
// is the user running Wine, and one anonymous account for every other user,
// root included; the group is never shown. There only the runner's own files
// can be told apart, so only they count.
#include <map>
#include <string>

#include "platform/windows_api.h"

namespace zephran::platform {

// The open entry (opened with READ_CONTROL) belongs to the player, or, on
// Windows itself, to the system's own accounts (Administrators, as an
// installer run as administrator leaves them, SYSTEM, TrustedInstaller).
// False when the system cannot say.
bool OwnedByPlayerOrSystem(HANDLE entry);

// Everyone, Authenticated Users or Users may add files to the open folder
// (opened with READ_CONTROL): anyone with an account could have put an entry
// there. On Windows that includes folders made at a drive's root, which
// inherit the root's rights.
bool EveryoneMayAddFiles(HANDLE folder);

// What a folder every user may add files to says of a path through it.
struct PathTrust {
  // Empty when the path may be taken; else the entry another user may have
  // put there: one not the player's (or the system's), or a link that leads
  // elsewhere than its name says.
  std::wstring stranger;
  bool link = false;
};
// Whether every user may add files to each folder looked at so far: the
// folders on the way are the same for every file of an installation, and
// asking the system costs a few milliseconds a folder under Wine.
using SharedFolders = std::map<std::wstring, bool>;

// Every entry from `path` up to its root, against the folder it is in. A
// missing entry is no stranger's.
PathTrust TrustOfPath(const std::wstring& path, SharedFolders& known);

// The words for such an entry: what it is, and what the player can do.
std::string StrangersEntryText(const PathTrust& trust);

}  // namespace zephran::platform
