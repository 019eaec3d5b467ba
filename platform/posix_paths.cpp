#include "platform/posix_paths.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace zephran::platform {

namespace fs = std::filesystem;

namespace {

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Exists(const fs::path& path) {
  std::error_code error;
  // A dangling symbolic link still occupies its name, so it counts as there.
  return fs::exists(fs::symlink_status(path, error));
}

// The entry of `folder` whose name matches `name` without regard to case, the
// smallest by bytes when there are several.
std::optional<std::string> FindFolded(const fs::path& folder, const std::string& name) {
  std::error_code error;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error);
  std::optional<std::string> best;
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::string candidate = it->path().filename().string();
    if (EqualsIgnoringCase(candidate, name) && (!best || candidate < *best)) {
      best = std::move(candidate);
    }
  }
  return best;
}

bool MatchFrom(std::string_view pattern, std::string_view name) {
  // Greedy matching with one backtrack point: enough for "*" and "?" and
  // linear in practice, unlike plain recursion.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_name = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

bool IsExecutableFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool ComesBeforeInListing(std::string_view a, std::string_view b) {
  const auto folded = std::lexicographical_compare_three_way(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldCase(x)) <=> static_cast<unsigned char>(FoldCase(y));
      });
  if (folded != 0) {
    return folded < 0;
  }
  return a < b;
}

bool HasWildcards(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

bool MatchesWildcards(std::string_view pattern, std::string_view name) {
  if (MatchFrom(pattern, name)) {
    return true;
  }
  return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
         MatchFrom(pattern.substr(0, pattern.size() - 2), name);
}

fs::path ResolveCaseInsensitive(const fs::path& path) {
  fs::path resolved;
  bool searching = true;
  for (const fs::path& component : path) {
    const std::string name = component.string();
    const bool literal = name.empty() || name == "." || name == ".." ||
                         component == path.root_name() || component == path.root_directory();
    if (!searching || literal || Exists(resolved / component)) {
      resolved /= component;
      continue;
    }
    if (const std::optional<std::string> found = FindFolded(resolved, name)) {
      resolved /= *found;
      continue;
    }
    // Nothing below a missing component can exist: keep the rest as given.
    searching = false;
    resolved /= component;
  }
  return resolved;
}

std::optional<fs::path> FindExecutable(const std::string& name) {
  if (name.empty()) {
    return std::nullopt;
  }
  if (name.find('/') != std::string::npos) {
    return IsExecutableFile(name) ? std::optional<fs::path>(name) : std::nullopt;
  }
  const char* search_path = std::getenv("PATH");
  const std::string_view folders = search_path != nullptr ? search_path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::string_view folder = folders.substr(start, end - start);
    // An empty entry means the working folder, as in every shell.
    const fs::path candidate = fs::path(folder.empty() ? "." : std::string(folder)) / name;
    if (IsExecutableFile(candidate)) {
      return candidate;
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace zephran::platform
