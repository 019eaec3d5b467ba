#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ansi_code_page.h"

// What the two profile fuzzers share: how an input is cut into names and a
// file, an independent view of a file's lines, and the names a file holds.
namespace zephran::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Stops the run with a message libFuzzer shows next to the input that caused it.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

// The first `count` NUL-terminated fields of the input, then the rest as the
// file; nullopt when the input has fewer fields. NUL is the separator because
// a name or value holding one is refused by the writer anyway, and it keeps
// seed files readable.
inline std::optional<std::vector<std::string_view>> SplitFields(std::string_view input,
                                                                std::size_t count) {
  std::vector<std::string_view> fields;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t end = input.find('\0');
    if (end == std::string_view::npos) {
      return std::nullopt;
    }
    fields.push_back(input.substr(0, end));
    input.remove_prefix(end + 1);
  }
  fields.push_back(input);
  return fields;
}

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

// The game's blanks: tab to carriage return, space and Ctrl-Z.
inline bool IsBlank(char c) {
  return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1a';
}

inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A file behind a UTF-16 byte-order mark, either way round.
inline bool IsUtf16(std::string_view text) {
  return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
}

// A file in the ANSI code page: its bytes are its characters.
inline bool IsAnsi(std::string_view text) {
  return !text.starts_with(kUtf8Bom) && !IsUtf16(text);
}

// A UTF-16 file with each unit written as UTF-8 (the mark too), so that its lines can be cut and
// compared like those of the other files; other files are returned as they are. A last odd byte is
// a unit.
inline std::string UnitsAsBytes(std::string_view text) {
  if (!IsUtf16(text)) {
    return std::string(text);
  }
  const bool little = text[0] == '\xFF';
  std::string out;
  for (std::size_t at = 0; at < text.size(); at += 2) {
    const auto first = static_cast<unsigned char>(text[at]);
    const auto second = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
    const unsigned unit =
        (little || at + 1 == text.size()) ? (second << 8) | first : (first << 8) | second;
    zephran::platform::AppendUtf8(out, static_cast<char16_t>(unit));
  }
  return out;
}

// ANSI text as it appears in `file` once written there, in the form
// UnitsAsBytes gives: the bytes themselves in an ANSI file, UTF-8 otherwise.
inline std::string AsFileText(std::string_view file, std::string_view ansi) {
  if (IsAnsi(file)) {
    return std::string(ansi);
  }
  std::string out;
  for (const char c : ansi) {
    zephran::platform::AppendUtf8(out,
                                  zephran::platform::WideFromAnsi(static_cast<unsigned char>(c)));
  }
  return out;
}

// True when the file ends inside a character: a UTF-8 sequence the end cuts
// short, or the odd byte of a UTF-16 file. Text added after it would change
// how it reads, so a writer may refuse to append there.
inline bool EndsInsideACharacter(std::string_view text) {
  if (IsUtf16(text)) {
    return text.size() % 2 != 0;
  }
  if (!text.starts_with(kUtf8Bom)) {
    return false;
  }
  for (std::size_t back = 1; back <= 3 && back <= text.size() - kUtf8Bom.size(); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    const std::size_t following = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC2 ? 1 : 0;
    if (byte <= 0xF4 && following >= back) {
      return true;
    }
  }
  return false;
}

// The file as pieces: a leading byte-order mark on its own, then each line
// with its line end (CR LF, CR or LF; the last line may have none). Joined,
// the pieces give the file back byte for byte. Written apart from the engine
// on purpose: the checks must not share its mistakes.
inline std::vector<std::string_view> Pieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  if (text.starts_with(kUtf8Bom)) {
    pieces.push_back(text.substr(0, kUtf8Bom.size()));
    text.remove_prefix(kUtf8Bom.size());
  }
  while (!text.empty()) {
    std::size_t end = 0;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
      ++end;
    }
    if (end < text.size()) {
      end += (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
    }
    pieces.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return pieces;
}

inline std::string_view LineEnd(std::string_view piece) {
  std::size_t body = piece.size();
  while (body > 0 && (piece[body - 1] == '\r' || piece[body - 1] == '\n')) {
    --body;
  }
  return piece.substr(body);
}

inline std::string_view WithoutLineEnd(std::string_view piece) {
  return piece.substr(0, piece.size() - LineEnd(piece).size());
}

// Every (section, key) pair the file spells out, in order, at most `limit`:
// queries that hit real entries, which random names almost never do.
inline std::vector<std::pair<std::string_view, std::string_view>> NamesInFile(std::string_view text,
                                                                              std::size_t limit) {
  std::vector<std::pair<std::string_view, std::string_view>> names;
  std::string_view section;
  for (const std::string_view piece : Pieces(text)) {
    const std::string_view line = TrimBlanks(WithoutLineEnd(piece));
    if (line.starts_with('[')) {
      section = line.substr(
          1, line.rfind(']') == std::string_view::npos ? line.size() - 1 : line.rfind(']') - 1);
    } else if (const std::size_t equals = line.find('=');
               equals != std::string_view::npos && !line.starts_with(';')) {
      names.emplace_back(section, line.substr(0, equals));
      if (names.size() >= limit) {
        break;
      }
    }
  }
  return names;
}

}  // namespace zephran::fuzz
