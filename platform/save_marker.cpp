#include "platform/save_marker.h"

#include <thread>
#include <vector>

namespace zephran::platform {

namespace {

constexpr std::string_view kHeader = "Zephran Loader+ save in progress";
constexpr std::string_view kCopyEnd = ".new~";
constexpr std::string_view kBackupEnd = ".old~";

// A name in the marker's own folder: no folder part, no device, nothing
// that leads elsewhere.
bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("\\/:\0", 4)) == std::string_view::npos;
}

// "<file>.<anything plain><end>", the shape of the working files we make.
bool WorkingFileOf(std::string_view name, std::string_view file, std::string_view end) {
  return name.empty() ||
         (PlainName(name) && name.size() > file.size() + 1 + end.size() && name.starts_with(file) &&
          name[file.size()] == '.' && name.ends_with(end));
}

// The whole lines only: a line is appended in one write, and one that a
// kill cut short never counts.
std::vector<std::string_view> Lines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  for (std::size_t end = bytes.find('\n'); end != std::string_view::npos; end = bytes.find('\n')) {
    std::string_view line = bytes.substr(0, end);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    lines.push_back(line);
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

std::string_view MarkedFileName(std::string_view marker_name) {
  return marker_name.ends_with(kSaveMarkerSuffix) && marker_name.size() > kSaveMarkerSuffix.size()
             ? marker_name.substr(0, marker_name.size() - kSaveMarkerSuffix.size())
             : std::string_view();
}

std::string SaveMarkerStart(std::string_view file) {
  return std::string(kHeader) + "\r\nfile=" + std::string(file) + "\r\n";
}

std::string SaveMarkerLine(SaveMarkerName name, std::string_view value) {
  const std::string_view key = name == SaveMarkerName::Copy     ? "copy="
                               : name == SaveMarkerName::Backup ? "backup="
                                                                : "rewriting=";
  return std::string(key) + std::string(value) + "\r\n";
}

std::string SaveWorkingName(std::string_view file, unsigned unique, SaveMarkerName name) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  std::string text(file);
  text += '.';
  for (int shift = 12; shift >= 0; shift -= 4) {
    text += kDigits[(unique >> shift) & 0xF];
  }
  text += name == SaveMarkerName::Copy ? kCopyEnd : kBackupEnd;
  return text;
}

std::optional<SaveMarkerRecord> ParseSaveMarker(std::string_view bytes, std::string_view file) {
  SaveMarkerRecord record;
  const std::vector<std::string_view> lines = Lines(bytes);
  if (lines.empty()) {
    return record;
  }
  if (lines.front() != kHeader) {
    return std::nullopt;
  }
  for (std::size_t at = 1; at < lines.size(); ++at) {
    const std::string_view line = lines[at];
    const std::size_t equals = line.find('=');
    const std::string_view key = line.substr(0, equals);
    const std::string value(equals == std::string_view::npos ? "" : line.substr(equals + 1));
    std::string* field = key == "file"        ? &record.file
                         : key == "copy"      ? &record.copy
                         : key == "backup"    ? &record.backup
                         : key == "rewriting" ? &record.rewriting
                                              : nullptr;
    // A later line of a kind supersedes an earlier one: it names the file
    // that save went on with, when the first name was taken.
    if (field == nullptr || equals == std::string_view::npos) {
      return std::nullopt;
    }
    *field = value;
  }
  // A marker stands beside the one file it is named for, and speaks for
  // that file alone.
  if (!record.file.empty() && (record.file != file || !PlainName(record.file))) {
    return std::nullopt;
  }
  if ((record.file.empty() &&
       (!record.copy.empty() || !record.backup.empty() || !record.rewriting.empty())) ||
      !WorkingFileOf(record.copy, record.file, kCopyEnd) ||
      !WorkingFileOf(record.backup, record.file, kBackupEnd) ||
      !WorkingFileOf(record.rewriting, record.file, kBackupEnd)) {
    return std::nullopt;
  }
  return record;
}

std::string TakeSaveLockBy(std::string_view marker, std::string_view where,
                           const std::function<SaveLockTry()>& attempt) {
  const std::string in_use = "another launcher is saving it (" + std::string(marker) + ")";
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= 2 * kSaveLockWait) {
      return in_use;
    }
    SaveLockTry tried = attempt();
    switch (tried.step) {
      case SaveLockStep::Taken:
        return {};
      case SaveLockStep::Again:
        break;
      case SaveLockStep::Wait:
        if (waited >= kSaveLockWait) {
          return in_use;
        }
        std::this_thread::sleep_for(kSaveLockPoll);
        break;
      case SaveLockStep::NotOurs:
        return std::string(where) + (tried.reason.empty()
                                         ? " was not made by a launcher; remove it to save"
                                         : " " + tried.reason);
      case SaveLockStep::Failed:
        return std::move(tried.reason);
    }
  }
}

}  // namespace zephran::platform
