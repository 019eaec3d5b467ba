#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/native_platform.h"
#include "platform/posix_atomic_file.h"
#include "platform/posix_file_rights.h"
#include "platform/posix_paths.h"
#include "platform/profile_file.h"

namespace zephran::platform {

namespace fs = std::filesystem;

namespace {

std::string Truncated(std::string_view text, std::size_t capacity) {
  // The capacity counts the terminator the Windows caller had to make room for.
  return capacity == 0 ? std::string() : std::string(text.substr(0, capacity - 1));
}

// POSIX knows no hidden or system attributes. A leading "." hides a name in
// every file manager, so it stands for hidden; sockets, devices and pipes are
// nothing a game folder should hold as files, so they stand for system.
bool Admits(unsigned mask, const fs::path& entry, std::string_view name) {
  std::error_code error;
  fs::file_status status = fs::status(entry, error);
  if (error) {
    // A dangling link is still a name in the folder: an ordinary file.
    status = fs::symlink_status(entry, error);
  }
  if (error || !fs::exists(status)) {
    return false;
  }
  const bool folder = fs::is_directory(status);
  const bool ordinary = folder || fs::is_regular_file(status) || fs::is_symlink(status);
  const bool hidden = name.starts_with('.') && name != "." && name != "..";
  return (!folder || (mask & kAttrDirectory) != 0) && (ordinary || (mask & kAttrSystem) != 0) &&
         (!hidden || (mask & kAttrHidden) != 0);
}

// `may_take` says of a name that passes the rest whether it may be taken.
std::string FirstMatchInFolder(const fs::path& folder, const std::string& pattern, unsigned mask,
                               const std::function<bool(const fs::path&)>& may_take) {
  const fs::path listing = folder.empty() ? fs::path(".") : folder;
  std::error_code error;
  fs::directory_iterator it(listing, error);
  if (error) {
    return {};
  }
  std::optional<std::string> best;
  const auto consider = [&](const std::string& name) {
    if (MatchesWildcards(pattern, name) && (!best || ComesBeforeInListing(name, *best)) &&
        Admits(mask, listing / name, name) &&
        (name == "." || name == ".." || may_take(listing / name))) {
      best = name;
    }
  };
  // The listing leaves these out, but Windows reports them as folders.
  consider(".");
  consider("..");
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    consider(it->path().filename().string());
  }
  return error ? std::string() : best.value_or(std::string());
}

}  // namespace

std::string NativePlatform::ReadProfileString(std::string_view section, std::string_view key,
                                              std::string_view default_value, std::size_t capacity,
                                              const std::string& file) {
  return ReadProfileStrings({{std::string(section), std::string(key)}}, default_value, capacity,
                            file)
      .front();
}

std::vector<std::string> NativePlatform::ReadProfileStrings(const std::vector<ProfileKey>& keys,
                                                            std::string_view default_value,
                                                            std::size_t capacity,
                                                            const std::string& file) {
  std::optional<std::string> content;
  try {
    // Too large a file reads as missing: the window shows defaults and a
    // launch will say why it cannot save.
    content = ReadSmallFile(ResolveCaseInsensitive(file));
  } catch (const std::exception&) {
    content.reset();
  }
  std::vector<std::string> values;
  values.reserve(keys.size());
  for (const ProfileKey& wanted : keys) {
    // Each value comes cut to the capacity exactly as the game's reader cuts it.
    const std::optional<std::string> value =
        content ? ReadProfileValue(*content, wanted.section, wanted.key, capacity) : std::nullopt;
    values.push_back(value ? *value : Truncated(default_value, capacity));
  }
  return values;
}

bool NativePlatform::WriteProfileString(std::string_view section, std::string_view key,
                                        std::string_view value, const std::string& file) {
  return WriteProfileStrings({{std::string(section), std::string(key), std::string(value)}}, file)
      .saved;
}

SaveResult NativePlatform::WriteProfileStrings(const std::vector<ProfileValue>& values,
                                               const std::string& file) {
  // The same bytes as one write after the other, applied to what the file
  // holds at the moment of the replacement.
  const auto apply = [&](const std::string& current) -> std::optional<std::string> {
    // Values the game already reads as given leave the file alone, however
    // they are spelt there (blanks, quotes, case of the names).
    if (std::all_of(values.begin(), values.end(), [&](const ProfileValue& entry) {
          return FindProfileValue(current, entry.section, entry.key) == entry.value;
        })) {
      return current;
    }
    std::optional<std::string> content = current;
    for (const ProfileValue& entry : values) {
      content = SetProfileValue(*content, entry.section, entry.key, entry.value);
      if (!content) {
        break;
      }
    }
    return content;
  };
  try {
    SaveResult result = EditFile(ResolveCaseInsensitive(file), apply);
    // What another user put in the way is theirs to remove: said where a
    // player who started the launcher from a terminal sees it too.
    if (!result.saved && result.reason.find("another user") != std::string::npos) {
      TellOnce(file + " was not saved: " + result.reason);
    }
    return result;
  } catch (const std::exception& error) {
    return SaveResult{false, error.what()};
  }
}

std::string NativePlatform::FirstDirEntry(const std::string& pattern, unsigned mask) {
  try {
    if (pattern.empty()) {
      return {};
    }
    std::error_code error;
    if (pattern.back() == kPathSeparator) {
      const fs::path folder = ResolveCaseInsensitive(pattern);
      return fs::is_directory(folder, error) && Trusted(folder) ? "." : "";
    }
    const fs::path given(pattern);
    const std::string last = given.filename().string();
    if (HasWildcards(last)) {
      const fs::path folder = ResolveCaseInsensitive(given.parent_path());
      // In a folder every user may write, each name is looked at too.
      struct stat status {};
      const bool shared = ::stat(folder.c_str(), &status) == 0 && EveryoneMayWrite(status);
      return Trusted(folder) ? FirstMatchInFolder(
                                   folder, last, mask,
                                   [&](const fs::path& entry) { return !shared || Trusted(entry); })
                             : std::string();
    }
    const fs::path entry = ResolveCaseInsensitive(given);
    const std::string name = entry.filename().string();
    return Admits(mask, entry, name) && Trusted(entry) ? name : std::string();
  } catch (const std::exception&) {
    return {};
  }
}

bool NativePlatform::Trusted(const std::string& entry) {
  const PathTrust trust = TrustOfPath(entry);
  if (!trust.unsafe_folder.empty()) {
    TellOnce("warning: every user may write to " + trust.unsafe_folder +
             ", so anyone could replace the game's files there; keep the game in a folder only "
             "you (or your group) may write");
  }
  if (!trust.stranger.empty()) {
    TellOnce(StrangersEntryText(trust.stranger));
    return false;
  }
  return true;
}

void NativePlatform::TellOnce(const std::string& text) {
  if (told_.insert(text).second) {
    std::cerr << "zephran-loader: " << text << '\n' << std::flush;
  }
}

void NativePlatform::FinishInterruptedSave(const std::string& file) {
  try {
    platform::FinishInterruptedSave(ResolveCaseInsensitive(file));
  } catch (const std::exception&) {
    // What cannot be finished now is left for the save, which refuses with why.
  }
}

void NativePlatform::SetNormalAttributes(const std::string& file) {
  try {
    // Read-only is the only one of the Windows attributes POSIX has; hidden
    // comes from the name and cannot be cleared without renaming the file.
    // A link is skipped rather than followed: it may lead out of the
    // installation, to a file the player keeps read-only on purpose.
    const std::string path = ResolveCaseInsensitive(file).string();
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        (status.st_mode & S_IWUSR) != 0) {
      return;
    }
    // Fails rather than follows should the name have become a link since.
    ::fchmodat(AT_FDCWD, path.c_str(), (status.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW);
  } catch (const std::exception&) {
    // A file we cannot change stays as it is; the write that follows reports it.
  }
}

}  // namespace zephran::platform
