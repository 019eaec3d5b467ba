#pragma once

// The few system calls newer than Windows XP that the platform needs, each
// looked up as the program runs and each with an older way where the system
// lacks it: the 32-bit program starts on XP SP3 (an import XP lacks would
// stop it before any of its code runs), and the compiler is told to flag
// every newer call, so they are declared here.
#include <optional>
#include <string>
#include <string_view>

#include "platform/windows_api.h"

namespace zephran::platform {

// The two names are the same, letter case aside, as the file system
// compares them (Vista's CompareStringOrdinal; on XP both upper-cased by
// the invariant rules, and compared code unit by code unit).
bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b);

// The path an open file or folder really has, with links and junctions
// resolved, as the system writes it (it may start "\\?\"); empty text when
// the system cannot say for this file. nullopt where the system has no such
// call (XP): there no link leads to a file, only junctions to folders.
std::optional<std::wstring> SystemFinalPath(HANDLE file);

// Sets the open file's attributes (it needs FILE_WRITE_ATTRIBUTES).
bool SetAttributesOpened(HANDLE file, DWORD attributes);

// Marks the open file for deletion once its last handle closes (it needs
// DELETE access).
bool MarkOpenedForDeletion(HANDLE file);

}  // namespace zephran::platform
