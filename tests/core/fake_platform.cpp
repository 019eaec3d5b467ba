#include "tests/core/fake_platform.h"

#include <algorithm>
#include <optional>

#include "platform/platform.h"
#include "platform/profile_file.h"

namespace zephran::core::testing {

namespace {

constexpr char kSep = platform::kPathSeparator;

bool GlobMatch(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) {
    return name.empty();
  }
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (GlobMatch(pattern.substr(1), name.substr(skip))) {
        return true;
      }
    }
    return false;
  }
  if (name.empty() || (pattern.front() != '?' && pattern.front() != name.front())) {
    return false;
  }
  return GlobMatch(pattern.substr(1), name.substr(1));
}

}  // namespace

void FakePlatform::AddFolder(const std::string& path) {
  std::string folder = path;
  if (folder.empty() || folder.back() != kSep) {
    folder += kSep;
  }
  for (std::size_t at = folder.find(kSep, 1); at != std::string::npos;
       at = folder.find(kSep, at + 1)) {
    folders.insert(folder.substr(0, at + 1));
  }
}

void FakePlatform::AddFile(const std::string& path, const std::string& content) {
  files[path] = content;
  AddFolder(path.substr(0, path.rfind(kSep) + 1));
}

std::string FakePlatform::Lookup(std::string_view section, std::string_view key,
                                 std::string_view default_value, std::size_t capacity,
                                 const std::string& file) const {
  std::string value(default_value);
  if (const auto found = files.find(file); found != files.end()) {
    value = platform::FindProfileValue(found->second, section, key).value_or(value);
  }
  return value.substr(0, capacity == 0 ? 0 : capacity - 1);
}

std::string FakePlatform::ReadProfileString(std::string_view section, std::string_view key,
                                            std::string_view default_value, std::size_t capacity,
                                            const std::string& file) {
  ++file_readings;
  return Lookup(section, key, default_value, capacity, file);
}

std::vector<std::string> FakePlatform::ReadProfileStrings(
    const std::vector<platform::ProfileKey>& keys, std::string_view default_value,
    std::size_t capacity, const std::string& file) {
  ++file_readings;
  std::vector<std::string> values;
  for (const platform::ProfileKey& wanted : keys) {
    values.push_back(Lookup(wanted.section, wanted.key, default_value, capacity, file));
  }
  return values;
}

bool FakePlatform::WriteProfileString(std::string_view section, std::string_view key,
                                      std::string_view value, const std::string& file) {
  return WriteProfileStrings({{std::string(section), std::string(key), std::string(value)}}, file)
      .saved;
}

platform::SaveResult FakePlatform::WriteProfileStrings(
    const std::vector<platform::ProfileValue>& values, const std::string& file) {
  for (const platform::ProfileValue& entry : values) {
    log.push_back("write [" + entry.section + "] " + entry.key + "=" + entry.value);
  }
  const std::string folder = file.substr(0, file.rfind(kSep) + 1);
  if (!save_error.empty()) {
    return {false, save_error};
  }
  if (read_only.contains(file) || !folders.contains(folder)) {
    return {false, "it is read-only"};
  }
  std::optional<std::string> content = files.contains(file) ? files[file] : std::string();
  for (const platform::ProfileValue& entry : values) {
    content = platform::SetProfileValue(*content, entry.section, entry.key, entry.value);
    if (!content) {
      return {false, "a value cannot be stored"};
    }
  }
  files[file] = *content;
  return {true, {}};
}

std::string FakePlatform::FirstDirEntry(const std::string& pattern, unsigned mask) {
  probes.push_back(pattern);
  probe_masks.push_back(mask);
  if (!pattern.empty() && pattern.back() == kSep) {
    return folders.contains(pattern) ? "." : "";
  }
  const std::size_t split = pattern.rfind(kSep) + 1;
  const std::string folder = pattern.substr(0, split);
  const std::string glob = pattern.substr(split);
  for (const auto& [path, content] : files) {
    if (path.size() > folder.size() && path.starts_with(folder) &&
        path.find(kSep, folder.size()) == std::string::npos &&
        GlobMatch(glob, path.substr(folder.size()))) {
      return path.substr(folder.size());
    }
  }
  if ((mask & platform::kAttrDirectory) != 0 && folders.contains(pattern + kSep)) {
    return glob;
  }
  return "";
}

void FakePlatform::SetNormalAttributes(const std::string& file) {
  attribute_resets.push_back(file);
}

platform::StartResult FakePlatform::StartProgram(const platform::CommandLine& command,
                                                 platform::WindowStyle style) {
  log.push_back("start " + command.Text());
  started.push_back(command);
  styles.push_back(style);
  return start_result;
}

void FakePlatform::ShowMessage(std::string_view prompt, std::string_view title) {
  log.push_back("message " + std::string(title) + "|" + std::string(prompt));
  ++messages;
}

void FakePlatform::PumpEvents() {
  log.push_back("pump");
  // Not again from inside itself: what it runs may pump too.
  if (on_pump && !pumping_) {
    pumping_ = true;
    on_pump();
    pumping_ = false;
  }
}

void FakePlatform::EndProgram() {
  log.push_back("end");
  ended = true;
}

}  // namespace zephran::core::testing
