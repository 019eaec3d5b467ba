#include "platform/profile_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ansi_code_page.h"

namespace zephran::platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

// The system's blanks: tab, line feed, vertical tab, form feed, carriage
// return, space, and Ctrl-Z (an end-of-file mark on old DOS media).
bool IsBlank(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

bool IsLineBreak(char16_t c) {
  return c == '\r' || c == '\n';
}

bool IsQuote(char16_t c) {
  return c == '"' || c == '\'';
}

// Names match as ASCII only: the system folds no other letter.
char16_t AsciiLower(char16_t c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c - 'A' + 'a') : c;
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The system keeps names and values as C strings: a NUL ends them.
std::u16string_view UpToNul(std::u16string_view text) {
  return text.substr(0, text.find(u'\0'));
}

bool NameMatches(std::u16string_view name, std::u16string_view wanted) {
  return std::ranges::equal(UpToNul(name), wanted,
                            [](char16_t a, char16_t b) { return AsciiLower(a) == AsciiLower(b); });
}

std::u16string WideFromAnsiText(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  std::ranges::transform(text, wide.begin(),
                         [](char c) { return WideFromAnsi(static_cast<unsigned char>(c)); });
  return wide;
}

std::string AnsiFromWideText(std::u16string_view text) {
  std::string ansi;
  ansi.reserve(text.size());
  for (const char16_t c : text) {
    ansi.push_back(static_cast<char>(AnsiFromWide(c)));
  }
  return ansi;
}

// A name asked for, as the system sees it: ANSI text up to a NUL, trimmed.
std::u16string WantedName(std::string_view name) {
  const std::u16string wide = WideFromAnsiText(name.substr(0, name.find('\0')));
  return std::u16string(Trim(wide));
}

// One character of UTF-8 the way the system's converter takes it: a broken
// sequence becomes one U+FFFD for its lead byte and every continuation byte
// that still fitted, and a sequence cut short by the end of the file swallows
// all that is left. `at` moves past what was used.
struct Utf8Char {
  std::uint32_t code = 0;
  bool valid = false;
  bool cut_by_end = false;
};

Utf8Char DecodeUtf8(std::string_view bytes, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(bytes[at++]);
  if (lead < 0x80) {
    return {lead, true, false};
  }
  int following = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    following = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    following = 2;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    following = 3;
  } else {
    return {};
  }
  if (bytes.size() - at < static_cast<std::size_t>(following)) {
    at = bytes.size();
    return {0, false, true};
  }
  static constexpr unsigned char kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
  std::uint32_t code = lead & kLeadMask[following];
  const auto next = [&]() -> int {
    const int bits = static_cast<unsigned char>(bytes[at]) ^ 0x80;
    return bits < 0x40 ? bits : -1;
  };
  if (following == 3) {
    const int bits = next();
    if (bits < 0) {
      return {};
    }
    code = (code << 6) | static_cast<std::uint32_t>(bits);
    ++at;
    if (code < 0x10) {  // overlong
      return {};
    }
  }
  if (following >= 2) {
    const int bits = next();
    if (bits < 0 || code >= 0x110) {  // past U+10FFFF
      return {};
    }
    code = (code << 6) | static_cast<std::uint32_t>(bits);
    ++at;
    if (code < 0x20 || (code >= 0x360 && code < 0x380)) {  // overlong, or a surrogate
      return {};
    }
  }
  const int bits = next();
  if (bits < 0) {
    return {};
  }
  code = (code << 6) | static_cast<std::uint32_t>(bits);
  ++at;
  return {code, true, false};
}

// The file as the system sees it: UTF-16 units, each with the offset of its
// first byte, so that an edit found in the units can be made in the bytes.
class DecodedFile {
 public:
  explicit DecodedFile(std::string_view content) : content_(content) {
    if (content.starts_with(kUtf8Bom)) {
      encoding_ = Encoding::kUtf8;
      DecodeUtf8File(kUtf8Bom.size());
    } else if (content.starts_with("\xFF\xFE")) {
      encoding_ = Encoding::kUtf16Le;
      DecodeUtf16File();
    } else if (content.starts_with("\xFE\xFF")) {
      encoding_ = Encoding::kUtf16Be;
      DecodeUtf16File();
    } else {
      units_ = WideFromAnsiText(content);
    }
  }

  Encoding encoding() const { return encoding_; }
  const std::u16string& units() const { return units_; }

  // Where unit `index` starts in the file; the file's size for the end.
  std::size_t ByteOffset(std::size_t index) const {
    if (index >= units_.size()) {
      return content_.size();
    }
    switch (encoding_) {
      case Encoding::kAnsi:
        return index;
      case Encoding::kUtf8:
        return offsets_[index];
      case Encoding::kUtf16Le:
      case Encoding::kUtf16Be:
        return 2 + 2 * index;
    }
    return index;
  }

  // True when text added at the end would change how the file's own last
  // units read: a UTF-8 sequence cut by the end, or an odd byte after UTF-16.
  bool EndDependsOnWhatFollows() const { return end_depends_on_what_follows_; }

  // The file's bytes for units [begin, end).
  std::string_view Bytes(std::size_t begin, std::size_t end) const {
    return content_.substr(ByteOffset(begin), ByteOffset(end) - ByteOffset(begin));
  }

  // ANSI text in the file's encoding.
  std::string Encode(std::string_view ansi) const {
    if (encoding_ == Encoding::kAnsi) {
      return std::string(ansi);
    }
    std::string out;
    for (const char16_t unit : WideFromAnsiText(ansi)) {
      if (encoding_ == Encoding::kUtf8) {
        AppendUtf8(out, unit);
      } else {
        out += EncodeUnit(unit);
      }
    }
    return out;
  }

 private:
  // One UTF-16 unit in the file's byte order.
  std::string EncodeUnit(char16_t unit) const {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    return encoding_ == Encoding::kUtf16Le ? std::string{low, high} : std::string{high, low};
  }

  void DecodeUtf8File(std::size_t at) {
    units_.reserve(content_.size() - at);
    offsets_.reserve(content_.size() - at);
    while (at < content_.size()) {
      const std::size_t start = at;
      const Utf8Char c = DecodeUtf8(content_, at);
      end_depends_on_what_follows_ = c.cut_by_end;
      if (!c.valid) {
        Push(u'\xFFFD', start);
      } else if (c.code >= 0x10000) {
        Push(static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10)), start);
        Push(static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF)), start);
      } else {
        Push(static_cast<char16_t>(c.code), start);
      }
    }
  }

  void Push(char16_t unit, std::size_t offset) {
    units_.push_back(unit);
    offsets_.push_back(offset);
  }

  // A last odd byte reads as a unit of its own (the system reads one byte
  // past the file there, which holds zero).
  void DecodeUtf16File() {
    const bool little = encoding_ == Encoding::kUtf16Le;
    units_.reserve((content_.size() - 1) / 2);
    for (std::size_t at = 2; at < content_.size(); at += 2) {
      const auto first = static_cast<unsigned char>(content_[at]);
      if (at + 1 == content_.size()) {
        units_.push_back(first);
        end_depends_on_what_follows_ = true;
        break;
      }
      const auto second = static_cast<unsigned char>(content_[at + 1]);
      units_.push_back(
          static_cast<char16_t>(little ? (second << 8) | first : (first << 8) | second));
    }
  }

  std::string_view content_;
  Encoding encoding_ = Encoding::kAnsi;
  std::u16string units_;
  std::vector<std::size_t> offsets_;
  bool end_depends_on_what_follows_ = false;
};

enum class LineKind { kBlank, kSection, kKey };

// A line as unit indices into the decoded file. Lines end at CR LF, CR or
// LF; the system splits at any run of them, which is the same once blank
// lines are skipped.
struct Line {
  LineKind kind = LineKind::kBlank;
  std::size_t begin = 0;
  std::size_t end = 0;   // one past the last unit before the line break
  std::size_t next = 0;  // first unit of the following line
  std::u16string_view name;
  bool has_value = false;
  // Where the name ends (for a key without "=") and the value as written,
  // trimmed, quotes kept. An empty value sits at the end of the line so that
  // a new value lands after any padding.
  std::size_t name_end = 0;
  std::size_t value_begin = 0;
  std::size_t value_end = 0;
  std::size_t after_equals = 0;
  bool starts_with_semicolon = false;
};

// Walks the units one line at a time; every unit is looked at a bounded
// number of times, so reading and writing stay linear in the file size.
class LineReader {
 public:
  explicit LineReader(std::u16string_view units) : units_(units) {}

  bool Next(Line& line) {
    if (position_ >= units_.size()) {
      return false;
    }
    const std::size_t begin = position_;
    const auto found = std::find_if(units_.begin() + static_cast<std::ptrdiff_t>(begin),
                                    units_.end(), IsLineBreak);
    const auto end = static_cast<std::size_t>(found - units_.begin());
    std::size_t next = end;
    if (next < units_.size()) {
      next +=
          (units_[next] == '\r' && next + 1 < units_.size() && units_[next + 1] == '\n') ? 2 : 1;
    }
    position_ = next;
    line = Classify(begin, end);
    line.begin = begin;
    line.end = end;
    line.next = next;
    return true;
  }

 private:
  std::size_t IndexOf(std::u16string_view part) const {
    return static_cast<std::size_t>(part.data() - units_.data());
  }

  Line Classify(std::size_t begin, std::size_t end) const {
    const std::u16string_view text = Trim(units_.substr(begin, end - begin));
    Line line;
    if (text.empty()) {
      return line;
    }
    // "[" opens a section only when a "]" follows somewhere on the line; the
    // last one ends the name.
    if (text.front() == '[') {
      if (const std::size_t close = text.rfind(u']'); close != std::u16string_view::npos) {
        line.kind = LineKind::kSection;
        line.name = Trim(text.substr(1, close - 1));
        return line;
      }
    }
    // Anything else is a key, ";" lines included; a line without "=" is a key
    // without a value, which reads as missing and hides later namesakes.
    line.kind = LineKind::kKey;
    line.starts_with_semicolon = text.front() == ';';
    const std::size_t equals = text.find(u'=');
    if (equals == std::u16string_view::npos) {
      line.name = text;
      line.name_end = IndexOf(text) + text.size();
      return line;
    }
    line.name = Trim(text.substr(0, equals));
    line.has_value = true;
    line.after_equals = IndexOf(text) + equals + 1;
    const std::u16string_view value = Trim(text.substr(equals + 1));
    line.value_begin = value.empty() ? end : IndexOf(value);
    line.value_end = value.empty() ? end : IndexOf(value) + value.size();
    return line;
  }

  std::u16string_view units_;
  std::size_t position_ = 0;
};

// What the system finds for a section and a key, and where a new key would
// go: after the last key of the first matching section (";" lines do not
// count, so that a new key lands before a trailing comment), or after its
// header.
struct Lookup {
  bool section_found = false;
  std::optional<Line> key_line;
  std::size_t insert_at = 0;
  bool insert_after_unterminated = false;
  // Places that leave the end of the file alone: right after the section's
  // header, and the start of the first header line.
  std::optional<std::size_t> after_header;
  std::optional<std::size_t> first_header;
  // Whether the section lists a key before the one found (see LookAhead),
  // and whether the key line right before it has an empty name.
  bool listed_before_key = false;
  bool empty_name_before_key = false;
};

// Wine drops a line whose name is empty as written ("=01") when the key
// line before it in its section has an empty name too ("\0x", "=1"): such a
// line is no key at all. (A lookup of the empty name finds that earlier
// line first anyway.)
bool Dropped(const Line& line, bool empty_name_before) {
  return line.kind == LineKind::kKey && line.name.empty() && empty_name_before;
}

// What lies ahead of `from` in its section, for the list of its keys. Wine
// lists a section's keys (GetPrivateProfileString without a key) as the
// keys with "=" that are not ";" lines, and gives an empty list when the
// first of them has an empty name: `listed` is the first such key. `empty`
// is the first key line whose name is empty, with or without "=": the one a
// lookup of the empty name finds, when no earlier line of the section has
// that name. The line before `from` is taken to have a name.
struct Ahead {
  std::optional<Line> listed;
  std::optional<Line> empty;
};

Ahead LookAhead(std::u16string_view units, std::size_t from) {
  Ahead ahead;
  LineReader reader(units);
  Line line;
  bool empty_name_before = false;
  while (!ahead.listed && reader.Next(line)) {
    if (line.begin < from || line.kind == LineKind::kBlank) {
      continue;
    }
    if (line.kind == LineKind::kSection) {
      break;
    }
    const bool dropped = Dropped(line, empty_name_before);
    empty_name_before = UpToNul(line.name).empty();
    if (empty_name_before && !ahead.empty) {
      ahead.empty = line;
    }
    if (line.has_value && !line.starts_with_semicolon && !dropped) {
      ahead.listed = line;
    }
  }
  return ahead;
}

Lookup Find(std::u16string_view units, std::u16string_view section, std::u16string_view key) {
  Lookup lookup;
  // Keys above the first header belong to a section without a name.
  lookup.section_found = section.empty();
  LineReader reader(units);
  Line line;
  bool empty_name_before = false;
  while (reader.Next(line)) {
    if (line.kind == LineKind::kSection) {
      empty_name_before = false;
      if (lookup.section_found) {
        break;
      }
      if (!lookup.first_header) {
        lookup.first_header = line.begin;
      }
      lookup.section_found = NameMatches(line.name, section);
      if (!lookup.section_found) {
        continue;
      }
      if (line.next != line.end) {
        lookup.after_header = line.next;
      }
    } else if (!lookup.section_found || line.kind != LineKind::kKey) {
      continue;
    } else if (NameMatches(line.name, key)) {
      lookup.key_line = line;
      lookup.empty_name_before_key = empty_name_before;
      break;
    }
    const bool dropped = Dropped(line, empty_name_before);
    empty_name_before = UpToNul(line.name).empty();
    if (line.starts_with_semicolon) {
      continue;
    }
    lookup.listed_before_key = lookup.listed_before_key || (line.has_value && !dropped);
    lookup.insert_at = line.next;
    lookup.insert_after_unterminated = line.next == line.end;
  }
  return lookup;
}

// The value as the system copies it into a buffer of `capacity` units. One
// pair of like quotes around it is dropped; when the closing quote does not
// fit, the system still drops the last unit copied.
std::u16string CopyValue(std::u16string_view value, std::size_t capacity) {
  value = UpToNul(value);
  const bool quoted = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  if (quoted) {
    value.remove_prefix(1);
  }
  std::u16string copy(value.substr(0, capacity - 1));
  if (quoted && capacity >= value.size() && !copy.empty()) {
    copy.pop_back();
  }
  return copy;
}

std::optional<std::u16string> FindValue(std::u16string_view units, std::string_view section,
                                        std::string_view key) {
  const Lookup lookup = Find(units, WantedName(section), WantedName(key));
  if (!lookup.key_line || !lookup.key_line->has_value) {
    return std::nullopt;
  }
  const Line& line = *lookup.key_line;
  return std::u16string(units.substr(line.value_begin, line.value_end - line.value_begin));
}

// The line break new lines get: whatever the file already uses first, and
// CRLF, as Windows writes, when there is nothing to copy.
std::string_view FileLineBreak(std::u16string_view units) {
  const auto found = std::ranges::find_if(units, IsLineBreak);
  if (found == units.end() || (*found == '\r' && found + 1 != units.end() && found[1] == '\n')) {
    return "\r\n";
  }
  return *found == '\r' ? "\r" : "\n";
}

bool HasEdgeBlank(std::string_view text) {
  const auto blank = [](char c) { return IsBlank(static_cast<unsigned char>(c)); };
  return !text.empty() && (blank(text.front()) || blank(text.back()));
}

bool HasControlBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A write is refused, rather than stored in a form that reads back differently
// or alters neighbouring lines, when:
//  - any of the three holds CR, LF or NUL (would split or cut the line);
//  - section or key is empty or has edge blanks (trimmed on reading);
//  - the section holds "]" (kept out, though the last "]" would end it);
//  - the key holds "=" or starts with "[" (a header) or ";" (a comment to
//    Windows' own tools, if not to the game);
//  - the value has edge blanks, or is wrapped in like quotes (both would be
//    stripped on reading).
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
  const bool quoted = value.size() >= 2 && IsQuote(static_cast<unsigned char>(value.front())) &&
                      value.front() == value.back();
  return !HasEdgeBlank(value) && !quoted;
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

// A key without "=" that gains a value is listed from then on. When the
// section's list was empty because its first listed key has an empty name
// ("=01"), the key now listed first would bring the whole list into view:
// a copy of that empty-named line goes in front of it, so the list stays
// empty. An empty-named line without "=" ahead of that one, which a lookup
// of the empty name finds first (and reads as missing), is copied first, so
// that lookup reads as it did. A copy that Wine would drop, behind another
// empty name, gets a NUL in front: its name is still empty, and it stays.
std::string KeepListEmpty(const std::string& written, const DecodedFile& file, const Line& key_line,
                          bool empty_name_before) {
  const Ahead ahead = LookAhead(file.units(), key_line.next);
  const std::optional<Line>& first = ahead.listed;
  // A line the file's end cuts short (a UTF-16 file's odd byte, a UTF-8
  // sequence that swallowed what was left) would read otherwise in front of
  // a line break: such a file keeps no hidden list.
  if (!first || !UpToNul(first->name).empty() ||
      (file.EndDependsOnWhatFollows() && first->end == file.units().size())) {
    return written;
  }
  const std::string line_break = file.Encode(FileLineBreak(file.units()));
  std::string copy;
  if (ahead.empty->begin < first->begin) {
    copy = std::string(file.Bytes(ahead.empty->begin, ahead.empty->end)) + line_break;
    empty_name_before = true;
  }
  if (Dropped(*first, empty_name_before)) {
    copy += file.Encode(std::string_view("\0", 1));
  }
  copy.append(file.Bytes(first->begin, first->end)).append(line_break);
  const std::size_t at = file.ByteOffset(key_line.begin);
  return Splice(written, at, at, copy);
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
  const DecodedFile file(content);
  const std::optional<std::u16string> value = FindValue(file.units(), section, key);
  if (!value) {
    return std::nullopt;
  }
  return AnsiFromWideText(CopyValue(*value, value->size() + 2));
}

std::optional<std::string> ReadProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key, std::size_t capacity) {
  const DecodedFile file(content);
  const std::optional<std::u16string> value = FindValue(file.units(), section, key);
  if (!value) {
    return std::nullopt;
  }
  return capacity == 0 ? std::string() : AnsiFromWideText(CopyValue(*value, capacity));
}

std::optional<std::string> SetProfileValue(std::string_view content, std::string_view section,
                                           std::string_view key, std::string_view value) {
  if (!IsStorable(section, key, value)) {
    return std::nullopt;
  }
  const DecodedFile file(content);
  const std::u16string_view units = file.units();
  const Lookup lookup = Find(units, WideFromAnsiText(section), WideFromAnsiText(key));
  if (lookup.key_line) {
    const Line& line = *lookup.key_line;
    // A key without "=" hides later ones; it gets the "=" it lacked.
    std::size_t begin = line.has_value ? line.value_begin : line.name_end;
    std::size_t end = line.has_value ? line.value_end : line.name_end;
    if (begin == units.size() && file.EndDependsOnWhatFollows()) {
      // Text after a character the end cuts short would change how it reads,
      // and with it the line being written. An empty value can go right
      // after its "=" instead, before the blanks that end the file; a name
      // that runs to the end has no such place.
      if (!line.has_value || line.after_equals == units.size()) {
        return std::nullopt;
      }
      begin = end = line.after_equals;
    }
    // Appended rather than "=" + value, which GCC 12 at -O3 takes for an
    // overlapping copy (a false -Wrestrict).
    std::string text(line.has_value ? "" : "=");
    text += value;
    std::string result =
        Splice(content, file.ByteOffset(begin), file.ByteOffset(end), file.Encode(text));
    return line.has_value || lookup.listed_before_key
               ? result
               : KeepListEmpty(result, file, line, lookup.empty_name_before_key);
  }

  // A missing section goes at the end, after a line break if the last line
  // lacks one.
  std::size_t insert_at = lookup.section_found ? lookup.insert_at : units.size();
  bool after_unterminated = lookup.section_found ? lookup.insert_after_unterminated
                                                 : !units.empty() && !IsLineBreak(units.back());
  if (insert_at == units.size() && file.EndDependsOnWhatFollows()) {
    // Text after a character the end cuts short would change how it reads:
    // the new lines go before that end, or nowhere.
    const std::optional<std::size_t> earlier =
        lookup.section_found ? lookup.after_header : lookup.first_header;
    if (!earlier || *earlier == units.size()) {
      return std::nullopt;
    }
    insert_at = *earlier;
    after_unterminated = false;
    // Not in front of an empty name that keeps the section's list empty.
    if (const std::optional<Line> first = LookAhead(units, insert_at).listed;
        lookup.section_found && first && UpToNul(first->name).empty() &&
        first->next != first->end && first->next < units.size()) {
      insert_at = first->next;
    }
  }
  const std::string_view line_break = FileLineBreak(units);
  std::string added(after_unterminated ? line_break : "");
  if (!lookup.section_found) {
    added.append("[").append(section).append("]").append(line_break);
  }
  added.append(key).append("=").append(value);
  // A lone CR in front of an existing LF would fuse with it into one CRLF and
  // swallow the blank line that LF ends.
  const bool fuses = line_break == "\r" && insert_at < units.size() && units[insert_at] == '\n';
  added.append(fuses ? "\r\n" : line_break);
  const std::size_t at = file.ByteOffset(insert_at);
  return Splice(content, at, at, file.Encode(added));
}

}  // namespace zephran::platform
