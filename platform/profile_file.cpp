#include "platform/profile_file.h"

#include <algorithm>
#include <cstddef>

namespace zephran::platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

// The first CR or LF at or after `from`, or the end of `content`. A plain
// scan: find_first_of with a two-character set calls memchr once per byte,
// which made the search for line ends most of the cost of reading a file.
std::size_t FindLineBreak(std::string_view content, std::size_t from) {
  const auto found =
      std::find_if(content.begin() + static_cast<std::ptrdiff_t>(from), content.end(), IsLineBreak);
  return static_cast<std::size_t>(found - content.begin());
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// Deliberately not std::tolower: the result must not depend on the locale,
// and bytes above 0x7F are never folded (names match as ASCII only).
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// A value wrapped in one pair of like quotes is read without them, so that
// values with meaningful edge spaces can be stored as "  x  ".
bool HasEnclosingQuotes(std::string_view value) {
  return value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
}

enum class LineKind { kBlank, kComment, kSection, kKey, kText };

// A line as offsets into the content, so that a writer can splice new bytes in
// without disturbing anything else.
struct Line {
  LineKind kind = LineKind::kText;
  std::size_t end = 0;   // one past the last byte before the line break
  std::size_t next = 0;  // first byte of the following line
  std::string_view name;
  // The value as written, trimmed, quotes kept. For an empty value both sit at
  // the end of the line so that a new value lands after any padding.
  std::size_t value_begin = 0;
  std::size_t value_end = 0;
};

// Walks the content one line at a time; every byte is looked at a bounded
// number of times, so reading and writing stay linear in the file size.
class LineReader {
 public:
  explicit LineReader(std::string_view content)
      : content_(content), position_(content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0) {}

  bool Next(Line& line) {
    if (position_ >= content_.size()) {
      return false;
    }
    const std::size_t begin = position_;
    const std::size_t end = FindLineBreak(content_, begin);
    std::size_t next = end;
    if (next < content_.size()) {
      next += content_.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    }
    position_ = next;
    line = Classify(begin, end);
    line.end = end;
    line.next = next;
    return true;
  }

 private:
  Line Classify(std::size_t begin, std::size_t end) const {
    const std::string_view raw = content_.substr(begin, end - begin);
    const std::string_view text = Trim(raw);
    Line line;
    if (text.empty()) {
      line.kind = LineKind::kBlank;
    } else if (text.front() == '[') {
      line.kind = LineKind::kSection;
      const std::string_view inner = text.substr(1);
      line.name = Trim(inner.substr(0, inner.rfind(']')));
    } else if (text.front() == ';') {
      line.kind = LineKind::kComment;
    } else if (const std::size_t equals = text.find('='); equals != std::string_view::npos) {
      line.kind = LineKind::kKey;
      line.name = Trim(text.substr(0, equals));
      const std::size_t text_begin = begin + static_cast<std::size_t>(text.data() - raw.data());
      std::size_t value_begin = text_begin + equals + 1;
      while (value_begin < end && IsBlank(content_[value_begin])) {
        ++value_begin;
      }
      line.value_begin = value_begin;
      line.value_end = std::max(value_begin, text_begin + text.size());
    }
    return line;
  }

  std::string_view content_{};
  std::size_t position_ = 0;
};

// The line break new lines get: whatever the file already uses first, and
// CRLF, as Windows writes, when there is nothing to copy.
std::string_view FileLineBreak(std::string_view content) {
  const std::size_t at = content.find_first_of("\r\n");
  if (at == std::string_view::npos || content.compare(at, 2, "\r\n") == 0) {
    return "\r\n";
  }
  return content[at] == '\r' ? "\r" : "\n";
}

bool EndsUnterminated(std::string_view content) {
  if (content.starts_with(kUtf8Bom)) {
    content.remove_prefix(kUtf8Bom.size());
  }
  return !content.empty() && !IsLineBreak(content.back());
}

bool HasEdgeBlank(std::string_view text) {
  return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

bool HasControlBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A write is refused, rather than stored in a form that reads back differently
// or alters neighbouring lines, when:
//  - any of the three holds CR, LF or NUL (would split or cut the line);
//  - section or key is empty or has edge spaces/tabs (trimmed on reading);
//  - the section holds "]" (the header name would end early);
//  - the key holds "=" or starts with "[" or ";" (a header or a comment);
//  - the value has edge spaces/tabs, or is wrapped in like quotes (both
//    would be stripped on reading).
bool IsStorable(std::string_view section, std::string_view key, std::string_view value) {
  if (HasControlBreak(section) || HasControlBreak(key) || HasControlBreak(value)) {
    return false;
  }
  if (section.empty() || key.empty() || HasEdgeBlank(section) || HasEdgeBlank(key)) {
    return false;
  }
  if (section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos) {
    return false;
  }
  if (key.front() == '[' || key.front() == ';') {
    return false;
  }
  return !HasEdgeBlank(value) && !HasEnclosingQuotes(value);
}

std::string Splice(std::string_view content, std::size_t begin, std::size_t end,
                   std::string_view replacement) {
  std::string result;
  result.reserve(content.size() - (end - begin) + replacement.size());
  result.append(content.substr(0, begin));
  result.append(replacement);
  result.append(content.substr(end));
  return result;
}

// Where a new key goes in the first matching section; `key_line` is set
// instead when the key is already there.
struct SectionScan {
  bool section_found = false;
  std::size_t insert_at = 0;
  bool insert_after_unterminated = false;
  std::optional<Line> key_line;
};

SectionScan ScanSection(std::string_view content, std::string_view section, std::string_view key) {
  SectionScan scan;
  LineReader reader(content);
  Line line;
  while (reader.Next(line)) {
    if (line.kind == LineKind::kSection) {
      if (scan.section_found) {
        break;
      }
      scan.section_found = EqualsIgnoreCase(line.name, section);
    } else if (!scan.section_found || line.kind != LineKind::kKey) {
      continue;
    } else if (EqualsIgnoreCase(line.name, key)) {
      scan.key_line = line;
      break;
    }
    if (scan.section_found) {
      scan.insert_at = line.next;
      scan.insert_after_unterminated = line.next == line.end;
    }
  }
  return scan;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
  // Names asked for are trimmed like the names in the file, and an empty one
  // never matches, as GetPrivateProfileString does.
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty()) {
    return std::nullopt;
  }
  LineReader reader(content);
  Line line;
  bool in_section = false;
  while (reader.Next(line)) {
    if (line.kind == LineKind::kSection) {
      if (in_section) {
        return std::nullopt;
      }
      in_section = EqualsIgnoreCase(line.name, section);
    } else if (in_section && line.kind == LineKind::kKey && EqualsIgnoreCase(line.name, key)) {
      std::string_view value = content.substr(line.value_begin, line.value_end - line.value_begin);
      if (HasEnclosingQuotes(value)) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
  }
  return std::nullopt;
}

std::optional<std::string> SetProfileValue(std::string_view content, std::string_view section,
                                           std::string_view key, std::string_view value) {
  if (!IsStorable(section, key, value)) {
    return std::nullopt;
  }
  const SectionScan scan = ScanSection(content, section, key);
  if (scan.key_line) {
    return Splice(content, scan.key_line->value_begin, scan.key_line->value_end, value);
  }

  const std::string_view line_break = FileLineBreak(content);
  std::string added;
  if (!scan.section_found) {
    if (EndsUnterminated(content)) {
      added.append(line_break);
    }
    added.append("[").append(section).append("]").append(line_break);
    added.append(key).append("=").append(value).append(line_break);
    return Splice(content, content.size(), content.size(), added);
  }

  if (scan.insert_after_unterminated) {
    added.append(line_break);
  }
  added.append(key).append("=").append(value);
  // A lone CR in front of an existing LF would fuse with it into one CRLF and
  // swallow the blank line that LF ends.
  const bool fuses =
      line_break == "\r" && scan.insert_at < content.size() && content[scan.insert_at] == '\n';
  added.append(fuses ? "\r\n" : line_break);
  return Splice(content, scan.insert_at, scan.insert_at, added);
}

}  // namespace zephran::platform
