#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zephran::platform {

// Profile ("ini") text, read and edited so that the game sees in it what we
// do. The game is a Windows program; off Windows it runs under Wine, so the
// reference is Wine's GetPrivateProfileStringA, and docs/profile-files.md
// gives its rules. These functions work on the file's bytes only; reading
// and replacing the file is the caller's business.
//
// Names and values given and returned are ANSI (Windows-1252) text, as the
// system's "A" functions take and give them. The file may be in that code
// page, or in UTF-8 or UTF-16 (either byte order) behind a byte-order mark.

// The value of `key` in the first `[section]` whose name matches without
// regard to ASCII case, trimmed and with one pair of enclosing quotes removed,
// whole; nullopt when the section or the key is missing, or the key's line
// has no "=".
std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);

// The value as GetPrivateProfileStringA copies it into a buffer of `capacity`
// characters: at most capacity - 1 of them, and one fewer when a quoted value
// exactly fills the buffer (the system cuts the closing quote, then drops the
// last character as if it were the quote). nullopt when FindProfileValue
// gives nullopt: the caller then copies its default, cut to capacity - 1.
std::optional<std::string> ReadProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key, std::size_t capacity);

// `content` with `key` in `section` set to `value`, in the file's own
// encoding and line ends, every byte outside the key's own line kept (a new
// key or section gets lines of its own). Afterwards the game reads the key as
// `value` and every other key as before. nullopt when that cannot be had:
// names or a value that cannot be stored faithfully (line breaks, NUL, a key
// with "=", edge blanks, and the like), or a file whose broken last
// character would read differently once more text follows it.
std::optional<std::string> SetProfileValue(std::string_view content, std::string_view section,
                                           std::string_view key, std::string_view value);

}  // namespace zephran::platform
