#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zephran::platform {

// The largest file read or rewritten here.
inline constexpr std::size_t kLargestEditableFile = kLargestProfileFile;

// The bytes of a regular file of at most kLargestEditableFile bytes; nullopt
// for anything else. Never blocks on a pipe or a device.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path);

// Given the file's current bytes (empty for a missing file), the bytes it
// should hold, or nullopt when the change cannot be made.
using FileEdit = std::function<std::optional<std::string>(const std::string& current)>;

// Edits `target` so that, whatever happens (a crash, a full disk, a file
// size limit, another writer), the file holds either all of its old bytes or
// all of the new ones, and never undoes or cuts another program's write:
//
// - The file is read once, edited in memory, and the result written to a
//   temporary file beside it that reaches the disk and is renamed over it,
//   under the save lock every launcher takes, the Windows one under Wine
//   included (save_marker.h): another launcher's save is waited for briefly.
// - Just before the rename, a file that is no longer the one read (device,
//   inode, size, modification time) is read and edited again, a few times at
//   most; a missing file is created without overwriting one made meanwhile.
// - An edit that leaves the bytes as they are writes nothing and needs only
//   the right to read: a read-only file or file system that already holds
//   the new bytes is no failure.
// - The new file keeps the old one's owner and group (or nothing is
//   written), its modes, its ACLs and extended attributes, and nothing the
//   folder hands down to new files (a default ACL). A symbolic link is
//   written through and stays a link, unless it lies in a sticky folder
//   anyone may write and neither we nor the folder's owner made it (the
//   kernel's rule there): then the save is refused.
// - A file of another user that we may write (when we are not root) is
//   rewritten in place instead, since a replacement would be ours: its old
//   bytes first go to a recovery copy beside it that the marker names, so a
//   kill midway is undone by the next start (FinishInterruptedSave).
// - Refused, with the file untouched: anything but a regular file, a file
//   without its owner's write bit (even for root, as Windows would refuse
//   it), a file with several hard links (a rename would split its names),
//   a file larger than kLargestEditableFile or an edit that would make it
//   so, and a sparse file (the copy would fill its holes).
// - Temporary files and save markers of earlier writers that were killed
//   are removed; nothing else is, and a marker that is a link or was not
//   made by a launcher stops the save.
//
// The path is used as given; case-insensitive lookup is the caller's part.
SaveResult EditFile(const std::filesystem::path& target, const FileEdit& edit);

// Puts right what a save of `target` that was killed midway left, before
// anything reads the file: a file being rewritten in place gets its old
// bytes back from the recovery copy the dead save's marker names (when that
// copy is to be trusted, see posix_atomic_file.cpp), and the dead save's
// working files and marker go. A save running now is left alone.
void FinishInterruptedSave(const std::filesystem::path& target);

// EditFile that replaces the whole contents with `bytes`.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

}  // namespace zephran::platform
