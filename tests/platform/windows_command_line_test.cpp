#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zephran::platform {
namespace {

struct QuoteCase {
  std::vector<std::string> arguments;
  std::string expected;  // after the program "P"
};

// The splitting rules these invert are those of the Microsoft C runtime and
// CommandLineToArgvW; the Windows tests check the inversion against them.
TEST(QuoteWindowsCommandLine, QuotesOnlyWhatWouldSplitOrVanish) {
  const std::vector<QuoteCase> cases = {
      {{}, ""},
      {{"load_game", "slot_3"}, " load_game slot_3"},
      {{"C:\\Games\\ZP\\"}, " C:\\Games\\ZP\\"},
      {{""}, " \"\""},
      {{"two words"}, " \"two words\""},
      {{"tab\there"}, " \"tab\there\""},
      {{"line\nbreak"}, " \"line\nbreak\""},
      {{"say \"hi\""}, " \"say \\\"hi\\\"\""},
      {{"\""}, " \"\\\"\""},
      {{"a\\\"b"}, " \"a\\\\\\\"b\""},
      {{"C:\\My Games\\"}, " \"C:\\My Games\\\\\""},
      {{"x y\\\\"}, " \"x y\\\\\\\\\""},
      {{"a\\b c"}, " \"a\\b c\""},
      {{"one", "", "three"}, " one \"\" three"},
  };
  for (const QuoteCase& c : cases) {
    EXPECT_EQ(QuoteWindowsCommandLine({"P", c.arguments}), "P" + c.expected)
        << "first argument: " << (c.arguments.empty() ? "(none)" : c.arguments.front());
  }
}

TEST(QuoteWindowsCommandLine, QuotesProgramsWithBlanksWithoutEscaping) {
  EXPECT_EQ(QuoteWindowsCommandLine({"C:\\ZP\\ZP1.EXE", {"x"}}), "C:\\ZP\\ZP1.EXE x");
  EXPECT_EQ(QuoteWindowsCommandLine({"C:\\My Games\\ZP1.EXE", {}}), "\"C:\\My Games\\ZP1.EXE\"");
  EXPECT_EQ(QuoteWindowsCommandLine({"C:\\a\tb\\", {}}), "\"C:\\a\tb\\\"");
  EXPECT_EQ(QuoteWindowsCommandLine({"", {"x"}}), "\"\" x");
}

TEST(WindowsParentFolder, KeepsRootsAndDropsTrailingSeparators) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\Games\\ZP\\ZP1.EXE", "C:\\Games\\ZP"},
      {"C:\\My Games\\ZP1.EXE", "C:\\My Games"},
      {"C:\\ZP1.EXE", "C:\\"},
      {"C:/ZP1.EXE", "C:/"},
      {"C:\\\\ZP1.EXE", "C:\\"},
      {"C:\\Games\\\\ZP1.EXE", "C:\\Games"},
      {"C:/Games/zp/ZP1.EXE", "C:/Games/zp"},
      {"\\\\server\\share\\ZP1.EXE", "\\\\server\\share"},
      {"\\ZP1.EXE", "\\"},
      {"zp\\ZP1.EXE", "zp"},
      {"ZP1.EXE", ""},
      {"", ""},
  };
  for (const auto& [path, folder] : cases) {
    EXPECT_EQ(WindowsParentFolder(path), folder) << path;
  }
}

}  // namespace
}  // namespace zephran::platform
