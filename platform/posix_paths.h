#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zephran::platform {

// Game folders copied from Windows keep names such as ZEPHRAN.INI or SaveGames
// while the launcher spells them as it likes, so every path goes through here
// before it reaches the file system.
//
// Each component that does not exist as spelled is replaced by an entry of its
// folder whose name matches without regard to (ASCII) case; among several such
// entries the smallest by bytes wins, so the answer never depends on listing
// order. A component that matches nothing keeps its spelling, and so does
// everything after it, which lets a caller create a new file under the name
// it gave. "." and ".." and a trailing separator are kept as they are.
std::filesystem::path ResolveCaseInsensitive(const std::filesystem::path& path);

// Byte strings compared with ASCII letters folded to lower case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The order in which folder listings are presented: without regard to case,
// and by bytes between names that differ only in case.
bool ComesBeforeInListing(std::string_view a, std::string_view b);

bool HasWildcards(std::string_view pattern);

// Matches a name against a pattern with "*" (any run of characters) and "?"
// (one character), without regard to case. As on Windows, a pattern ending
// in ".*" also matches names without that extension, so "*.*" matches all.
bool MatchesWildcards(std::string_view pattern, std::string_view name);

// Looks a program name up the way a shell would: a name with a separator is
// taken as a path, otherwise the folders of $PATH are searched for an
// executable file. nullopt when nothing is found.
std::optional<std::filesystem::path> FindExecutable(const std::string& name);

}  // namespace zephran::platform
