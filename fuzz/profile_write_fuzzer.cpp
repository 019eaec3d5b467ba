// Writes one key into any file, then checks what an edit in place promises:
//  - no crash and no sanitizer report;
//  - names and a value made of plain characters are never refused, unless
//    the file ends inside a character (text appended would change it);
//  - reading the key back gives the value written, and writing it again
//    changes nothing;
//  - every other key reads as before;
//  - untouched lines keep their bytes. The file and the result are cut into
//    lines (each with its own line end, a byte-order mark on its own; a
//    UTF-16 file is first turned into UTF-8 unit by unit) and the
//    longest equal runs at the front and at the back are set aside. What is
//    left must be one of:
//      nothing at all (the value was already there);
//      one line for one line, with the same line end, where the bytes up to
//      the key's "=" are kept: the value was replaced inside its line; or a
//      line without "=" that gained "=value";
//      inserted lines only, "key=value" or "[section]" then "key=value", each
//      ended by a line end, optionally after the file's last line has gained
//      the line end it lacked;
//      a line without "=" that gained "=value", behind copies of one or two
//      lines of the file whose key name is empty (see IsCopyOfEmptyName).
//
// Input: "section\0key\0value\0file". Inputs without the three fields are
// taken whole as the file, written with the file's own first entry (or a
// display key when it has none), so that mutations of the file alone still
// reach the code that replaces values.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/profile_file.h"

namespace {

namespace zf = zephran::fuzz;
using zephran::fuzz::Fail;
using zephran::platform::FindProfileValue;
using zephran::platform::SetProfileValue;

constexpr std::size_t kMaxOtherKeys = 128;

struct Write {
  std::string_view section;
  std::string_view key;
  std::string_view value;
  std::string_view content;
};

Write FromInput(std::string_view input) {
  if (const auto fields = zf::SplitFields(input, 3)) {
    return {(*fields)[0], (*fields)[1], (*fields)[2], (*fields)[3]};
  }
  const auto names = zf::NamesInFile(input, 1);
  if (!names.empty()) {
    return {zf::TrimBlanks(names[0].first), zf::TrimBlanks(names[0].second), "1024", input};
  }
  return {"Display", "ScreenWidth", "1024", input};
}

bool IsPlain(std::string_view text) {
  return std::ranges::all_of(text, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
  });
}

bool IsWholeLine(std::string_view piece, std::string_view expected) {
  return !zf::LineEnd(piece).empty() && zf::WithoutLineEnd(piece) == expected;
}

// One line for one line, with the same line end: either the change starts
// after the line's first "=", that is inside the value, or a line without
// "=" (a key the game reads as missing) gained "=" and the value.
bool IsValueReplacement(std::string_view before, std::string_view after,
                        std::string_view written_value) {
  if (zf::LineEnd(before) != zf::LineEnd(after)) {
    return false;
  }
  before = zf::WithoutLineEnd(before);
  after = zf::WithoutLineEnd(after);
  const auto [kept, unused] = std::ranges::mismatch(before, after);
  const std::size_t prefix = static_cast<std::size_t>(kept - before.begin());
  const std::size_t equals = before.find('=');
  if (equals != std::string_view::npos) {
    return equals < prefix;
  }
  const std::string gained = "=" + std::string(written_value);
  return after.size() == before.size() + gained.size() &&
         after.substr(prefix, gained.size()) == gained &&
         after.substr(prefix + gained.size()) == before.substr(prefix);
}

// Inserted lines, after the optional completion of an unterminated last line.
bool IsInsertion(const std::vector<std::string_view>& removed,
                 const std::vector<std::string_view>& added, const Write& write) {
  std::size_t next = 0;
  if (removed.size() == 1) {
    const bool completed =
        zf::LineEnd(removed[0]).empty() && !added.empty() && IsWholeLine(added[0], removed[0]);
    if (!completed) {
      return false;
    }
    next = 1;
  } else if (!removed.empty()) {
    return false;
  }
  const std::string key_line =
      zf::AsFileText(write.content, std::string(write.key) + "=" + std::string(write.value));
  const std::string header = zf::AsFileText(write.content, "[" + std::string(write.section) + "]");
  const std::size_t count = added.size() - next;
  if (count == 1) {
    return IsWholeLine(added[next], key_line);
  }
  return count == 2 && IsWholeLine(added[next], header) && IsWholeLine(added[next + 1], key_line);
}

// A whole line of the file whose key name is empty ("=01", or "\0x"
// without "="): the writer copies such lines in front of a key that gains a
// value, so that Wine's list of the section's keys, empty because of one,
// stays so, and the empty name reads as it did.
bool IsCopyOfEmptyName(const std::vector<std::string_view>& lines, std::string_view added) {
  const std::string_view text = zf::WithoutLineEnd(added);
  const std::string_view name = text.substr(0, text.find('='));
  if (zf::LineEnd(added).empty() || !zf::TrimBlanks(name.substr(0, name.find('\0'))).empty() ||
      zf::TrimBlanks(text).empty()) {
    return false;
  }
  // A copy Wine would drop behind another empty name has a NUL in front.
  const std::string_view copied = text.starts_with('\0') ? text.substr(1) : text;
  return std::ranges::any_of(lines, [&](std::string_view line) {
    return zf::WithoutLineEnd(line) == text || zf::WithoutLineEnd(line) == copied;
  });
}

// Wine lists a section's keys (GetPrivateProfileString without a key) as an
// empty list when the first key with "=" in the first section of that name,
// ";" lines aside, has an empty name. A write must not bring such a list into
// view: the keys behind that first one would appear.
bool ListHiddenByEmptyName(std::string_view content, std::string_view section) {
  const std::string units = zf::UnitsAsBytes(content);
  bool inside = false;
  // Wine drops a line starting with "=" behind a key line whose name is
  // empty (up to a NUL).
  bool empty_name_before = false;
  for (const std::string_view piece : zf::Pieces(units)) {
    const std::string_view line = zf::TrimBlanks(zf::WithoutLineEnd(piece));
    const std::size_t close = line.rfind(']');
    if (line.starts_with('[') && close != std::string_view::npos) {
      if (inside) {
        return false;
      }
      const std::string_view name = line.substr(1, close - 1);
      inside = zf::EqualsIgnoringCase(zf::TrimBlanks(name.substr(0, name.find('\0'))), section);
      empty_name_before = false;
      continue;
    }
    if (!inside || line.empty()) {
      continue;
    }
    const std::size_t equals = line.find('=');
    const std::string_view name = line.substr(0, equals);
    const bool dropped = equals == 0 && empty_name_before;
    empty_name_before = zf::TrimBlanks(name.substr(0, name.find('\0'))).empty();
    if (equals != std::string_view::npos && !line.starts_with(';') && !dropped) {
      return empty_name_before;
    }
  }
  return false;
}

void CheckUntouchedLines(std::string_view content, std::string_view result, const Write& write) {
  const std::string content_units = zf::UnitsAsBytes(content);
  const std::string result_units = zf::UnitsAsBytes(result);
  const std::vector<std::string_view> before = zf::Pieces(content_units);
  const std::vector<std::string_view> after = zf::Pieces(result_units);
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t front = 0;
  while (front < shorter && before[front] == after[front]) {
    ++front;
  }
  std::size_t back = 0;
  while (back < shorter - front &&
         before[before.size() - 1 - back] == after[after.size() - 1 - back]) {
    ++back;
  }
  const std::vector<std::string_view> removed(before.begin() + static_cast<std::ptrdiff_t>(front),
                                              before.end() - static_cast<std::ptrdiff_t>(back));
  const std::vector<std::string_view> added(after.begin() + static_cast<std::ptrdiff_t>(front),
                                            after.end() - static_cast<std::ptrdiff_t>(back));
  if (removed.empty() && added.empty()) {
    return;
  }
  if (removed.size() == 1 && added.size() == 1 &&
      IsValueReplacement(removed[0], added[0], zf::AsFileText(content, write.value))) {
    return;
  }
  const auto copies = std::span(added).first(added.empty() ? 0 : added.size() - 1);
  if (removed.size() == 1 && (added.size() == 2 || added.size() == 3) &&
      std::ranges::all_of(copies,
                          [&](std::string_view line) { return IsCopyOfEmptyName(before, line); }) &&
      zf::WithoutLineEnd(removed[0]).find('=') == std::string_view::npos &&
      IsValueReplacement(removed[0], added.back(), zf::AsFileText(content, write.value))) {
    return;  // a key without "=" gained its value behind copies of empty names
  }
  if (!IsInsertion(removed, added, write)) {
    Fail("bytes outside the written entry changed");
  }
}

// Names asked for end at a NUL, as C strings do.
std::string_view AsAsked(std::string_view name) {
  return zf::TrimBlanks(name.substr(0, name.find('\0')));
}

bool IsWrittenKey(std::string_view section, std::string_view key, const Write& write) {
  return zf::EqualsIgnoringCase(AsAsked(section), write.section) &&
         zf::EqualsIgnoringCase(AsAsked(key), write.key);
}

void CheckOtherKeys(std::string_view content, std::string_view result, const Write& write) {
  std::set<std::pair<std::string_view, std::string_view>> names;
  for (const auto& name : zf::NamesInFile(content, kMaxOtherKeys)) {
    names.insert(name);
  }
  for (const auto& name : zf::NamesInFile(result, kMaxOtherKeys)) {
    names.insert(name);
  }
  for (const auto& [section, key] : names) {
    if (!IsWrittenKey(section, key, write) &&
        FindProfileValue(content, section, key) != FindProfileValue(result, section, key)) {
      Fail("another key reads differently after the write");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Write write = FromInput(zf::AsText(data, size));
  const std::optional<std::string> result =
      SetProfileValue(write.content, write.section, write.key, write.value);
  if (!result) {
    if (!write.section.empty() && !write.key.empty() && IsPlain(write.section) &&
        IsPlain(write.key) && IsPlain(write.value) && !zf::EndsInsideACharacter(write.content)) {
      Fail("a plain entry was refused");
    }
    return 0;
  }
  if (FindProfileValue(*result, write.section, write.key) != write.value) {
    Fail("the key does not read back as written");
  }
  if (SetProfileValue(*result, write.section, write.key, write.value) != result) {
    Fail("writing the same value again changes the file");
  }
  CheckOtherKeys(write.content, *result, write);
  CheckUntouchedLines(write.content, *result, write);
  // A file that ends inside a character may leave a new key no place but
  // right after its header, in front of the empty name.
  if (ListHiddenByEmptyName(write.content, write.section) &&
      !ListHiddenByEmptyName(*result, write.section) && !zf::EndsInsideACharacter(write.content)) {
    Fail("the section's list of keys came into view");
  }
  return 0;
}
