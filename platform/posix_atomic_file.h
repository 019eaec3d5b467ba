#pragma once

#include <filesystem>
#include <string_view>

namespace zephran::platform {

// Replaces the contents of `target` with `bytes` so that, whatever happens
// (a crash, a full disk, a file size limit), the file holds either all of its
// old bytes or all of the new ones. The bytes go to a temporary file beside
// the target, reach the disk, and are renamed over it.
//
// A symbolic link is written through to the file it names and stays a link.
// An existing file keeps its permission bits and, when we may set them, its
// owner and group. A file without its owner's write bit counts as read-only
// and is refused even when we could write it anyway (as root does), and so is
// a target whose folder does not exist. Nothing is left behind on failure.
//
// The path is used as given; case-insensitive lookup is the caller's part.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

}  // namespace zephran::platform
