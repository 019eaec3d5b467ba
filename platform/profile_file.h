#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zephran::platform {

// Windows profile ("ini") text, read and edited in place with the rules of
// GetPrivateProfileString / WritePrivateProfileString. These work on the
// file's bytes only; reading and replacing the file is the caller's business.

// The value of `key` in the first `[section]` matching without regard to
// case, trimmed and with one pair of enclosing quotes removed; nullopt when
// the section or the key is missing.
std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);

// `content` with `key` in `section` set to `value`, every other byte kept.
// nullopt when the names or the value cannot be stored without changing the
// meaning of the file (line breaks, a key with "=", and the like).
std::optional<std::string> SetProfileValue(std::string_view content, std::string_view section,
                                           std::string_view key, std::string_view value);

}  // namespace zephran::platform
