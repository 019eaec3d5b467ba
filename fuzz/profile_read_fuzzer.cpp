// Reads from any file: the reader must neither crash nor trip a sanitizer,
// and what it answers must be consistent with the rules it reads by.
//
// Input: "section\0key\0file". Inputs without the two fields are taken whole
// as the file. Either way every entry the file spells out is also asked for.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/profile_file.h"

namespace {

using zephran::fuzz::Fail;
using zephran::platform::FindProfileValue;

constexpr std::size_t kMaxQueries = 64;

std::string SwapAsciiCase(std::string_view text) {
  std::string swapped(text);
  for (char& c : swapped) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return swapped;
}

// A section of this name is appended after the file to show that what comes
// after the answer never changes it; one of the two always differs from the
// section asked for.
std::string_view OtherSection(std::string_view section) {
  return zephran::fuzz::EqualsIgnoringCase(zephran::fuzz::TrimBlanks(section), "fuzz-after")
             ? "fuzz-after-2"
             : "fuzz-after";
}

void CheckQuery(std::string_view content, std::string_view section, std::string_view key) {
  const std::optional<std::string> value = FindProfileValue(content, section, key);
  if (value) {
    // A value is the rest of one line: never a line end, and in an ANSI file
    // always bytes of the file.
    if (value->find_first_of("\r\n") != std::string::npos) {
      Fail("a value spans a line end");
    }
    if (zephran::fuzz::IsAnsi(content) && content.find(*value) == std::string_view::npos) {
      Fail("a value is not part of the file");
    }
  }
  if (FindProfileValue(content, SwapAsciiCase(section), SwapAsciiCase(key)) != value) {
    Fail("names do not match without regard to ASCII case");
  }
  const std::string padded_section = " \t" + std::string(section) + "\t ";
  const std::string padded_key = "\t" + std::string(key) + " ";
  if (FindProfileValue(content, padded_section, padded_key) != value) {
    Fail("blanks around the names asked for change the answer");
  }
  if (!zephran::fuzz::IsAnsi(content)) {
    return;
  }
  const std::string extended = std::string(content) + "\n[" + std::string(OtherSection(section)) +
                               "]\n" + std::string(key) + "=after\n";
  if (FindProfileValue(extended, section, key) != value) {
    Fail("a section added after the file changes the answer");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = zephran::fuzz::AsText(data, size);
  std::string_view content = input;
  if (const auto fields = zephran::fuzz::SplitFields(input, 2)) {
    content = (*fields)[2];
    CheckQuery(content, (*fields)[0], (*fields)[1]);
  }
  for (const auto& [section, key] : zephran::fuzz::NamesInFile(content, kMaxQueries)) {
    CheckQuery(content, section, key);
  }
  return 0;
}
