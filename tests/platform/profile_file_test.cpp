#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zephran::platform {
namespace {

using namespace std::string_literals;

struct ReadCase {
  std::string content;
  std::string section;
  std::string key;
  std::optional<std::string> expected;
};

TEST(FindProfileValue, ReadsAsTheGameDoes) {
  const std::vector<ReadCase> cases = {
      {"[Video]\r\nWidth=800\r\n", "VIDEO", "wIDTH", "800"},
      {"  [ Video ]  \n\t Width \t=\t 800 \t\n", "Video", "Width", "800"},
      {"[Video]\nWidth=800\n", " Video\t", " Width ", "800"},
      {"[A]\nk='x'\n", "A", "k", "x"},
      {"[A]\nk= \" x \" \n", "A", "k", " x "},
      {"[A]\nk=\"\"\n", "A", "k", ""},
      {"[A]\nk='x\"\n", "A", "k", "'x\""},
      {"[A]\nk=\"\n", "A", "k", "\""},
      {"[A]\nk=a ; b\n", "A", "k", "a ; b"},
      {"[A]\nk=a=b\n", "A", "k", "a=b"},
      {"[A]\n#k=#1\n", "A", "#k", "#1"},
      {"[A]\n;k=1\n", "A", ";k", "1"},
      {"[A]\nk=   \n", "A", "k", ""},
      {"[A]\nk\nk=1\n", "A", "k", std::nullopt},
      {"[A]\nk=\v1\f\x1a\n", "A", "k", "1"},
      {"[A\v]\nk=1\n", "a", "k", "1"},
      {"[A]\nx=1\n[a]\nk=2\n", "A", "k", std::nullopt},
      {"[A]\nk=1\nK=2\n", "a", "k", "1"},
      {"k=1\n[A]\n", "A", "k", std::nullopt},
      {"k=1\n[A]\n", "", "k", "1"},
      {"[A]\n=1\n", "A", " ", "1"},
      {"[A\nk=1\n", "A", "k", std::nullopt},
      {"[\xC9]\nk=1\n", "\xE9", "k", std::nullopt},
      {"[A]b] tail\nk=1\n", "A]b", "k", "1"},
      {"[A]\rk=1\rj=2", "A", "j", "2"},
      {"\xEF\xBB\xBF[A]\nk=1", "A", "k", "1"},
      {"[A]\nk=a\0b\n"s, "A", "k", "a"},
      {"[A\0B]\nk\0j=1\n"s, "A", "k", "1"},
      {"[A]\rk=1\n", "A", "k", "1"},
      {"\xEF\xBB\xBF[A]\nk=caf\xC3\xA9\xCE\xA9\xE2\x82\n", "A", "k", "caf\xE9O?"},
      {"\xFF\xFE[\0A\0]\0\n\0k\0=\0"
       "1\0\xE9\0\0\x01\n\0"s,
       "A", "k",
       "1\xE9"
       "A"},
      {"\xFE\xFF\0[\0A\0]\0\n\0k\0=\0"
       "1"s,
       "A", "k", "1"},
      {"[A]\nk=1\n", "B", "k", std::nullopt},
      {"[A]\nk=1\n", "A", "j", std::nullopt},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(FindProfileValue(c.content, c.section, c.key), c.expected)
        << "content: " << c.content << " section: " << c.section << " key: " << c.key;
  }
}

TEST(FindProfileValue, ReturnsLongValuesWhole) {
  const std::string value(300, 'v');
  EXPECT_EQ(FindProfileValue("[A]\r\nk=" + value + "\r\n", "A", "k"), value);
}

// The launcher's 255-character buffer: 254 characters at most, and a quoted
// value of exactly 254 loses one more with its closing quote.
TEST(ReadProfileValue, CutsAsTheSystemsBufferDoes) {
  const std::vector<std::pair<std::string, std::size_t>> cases = {
      {std::string(300, 'v'), 254},
      {"\"" + std::string(300, 'v') + "\"", 254},
      {"\"" + std::string(254, 'v') + "\"", 253},
      {"\"" + std::string(253, 'v') + "\"", 253},
      {"'" + std::string(254, 'v') + "'", 253},
      {std::string(254, 'v'), 254},
  };
  for (const auto& [value, length] : cases) {
    EXPECT_EQ(ReadProfileValue("[A]\nk=" + value + "\n", "A", "k", 255), std::string(length, 'v'))
        << value.size();
  }
  EXPECT_EQ(ReadProfileValue("[A]\nk=\"abc\"\n", "A", "k", 4), "ab");
  EXPECT_EQ(ReadProfileValue("[A]\nk=abc\n", "A", "k", 0), "");
  EXPECT_EQ(ReadProfileValue("[A]\nk\n", "A", "k", 255), std::nullopt);
}

TEST(FindProfileValue, CopesWithHugeInputs) {
  std::string many_sections;
  for (int i = 0; i < 100000; ++i) {
    many_sections += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
  }
  EXPECT_EQ(FindProfileValue(many_sections, "s99999", "K"), "99999");

  // A line of brackets without "]" is a key of section A, not a header; the
  // NUL-filled value reads as empty.
  const std::string nuls(1 << 20, '\0');
  const std::string long_lines = "[A]\n" + std::string(1 << 20, '[') + "\nk=" + nuls + "\n";
  EXPECT_EQ(FindProfileValue(long_lines, "A", "k"), "");
  EXPECT_EQ(FindProfileValue(long_lines, "A", std::string(1 << 20, '[')), std::nullopt);
}

struct WriteCase {
  std::string before;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

TEST(SetProfileValue, ChangesOnlyTheBytesItMust) {
  const std::vector<WriteCase> cases = {
      // Existing keys: only the old value's bytes change.
      {"[Video]\r\nWidth=800\r\nHeight=600\r\n", "Video", "Height", "1080",
       "[Video]\r\nWidth=800\r\nHeight=1080\r\n"},
      {"[Video]\r\nWidth=800", "Video", "Width", "1024", "[Video]\r\nWidth=1024"},
      {"[video]\r\n  wIDTH =  800  \r\n", "Video", "Width", "1", "[video]\r\n  wIDTH =  1  \r\n"},
      {"[A]\nName = \"old name\" \n", "A", "Name", "x", "[A]\nName = x \n"},
      {"[A]\nk=1 ; note\n", "A", "k", "2", "[A]\nk=2\n"},
      {"[A]\nk=   \n", "A", "k", "v", "[A]\nk=   v\n"},
      {"[A]\nk=\n", "A", "k", "v", "[A]\nk=v\n"},
      {"\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "2", "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
      {"[A]\nk=1\n[a]\nk=2\n", "a", "K", "9", "[A]\nk=9\n[a]\nk=2\n"},
      // New keys go after the section's last key, in the file's line ending.
      {"[Video]\nWidth=800\n", "Video", "Height", "600", "[Video]\nWidth=800\nHeight=600\n"},
      {"[Video]\r\nWidth=800", "Video", "Height", "600", "[Video]\r\nWidth=800\r\nHeight=600\r\n"},
      {"; top\r\n[A]\r\n; about k\r\nk=1\r\n; trailing\r\n\r\n[B]\r\n", "A", "n", "2",
       "; top\r\n[A]\r\n; about k\r\nk=1\r\nn=2\r\n; trailing\r\n\r\n[B]\r\n"},
      {"[A]\nk=1\n\n\n[B]\nb=1\n", "A", "n", "2", "[A]\nk=1\nn=2\n\n\n[B]\nb=1\n"},
      {"[A]\n\n[B]\n", "A", "n", "2", "[A]\nn=2\n\n[B]\n"},
      {"[A]", "A", "n", "2", "[A]\r\nn=2\r\n"},
      {"[A]\nx=1\n[A]\nk=1\n", "A", "k", "2", "[A]\nx=1\nk=2\n[A]\nk=1\n"},
      {"k=1\n[A]\n", "A", "k", "2", "k=1\n[A]\nk=2\n"},
      {"[A]\nk=1\r\n[B]\r\n", "A", "n", "2", "[A]\nk=1\r\nn=2\n[B]\r\n"},
      {"[A]\rk=1\r", "A", "n", "2", "[A]\rk=1\rn=2\r"},
      // A lone CR must not fuse with the LF of the blank line that follows.
      {"[A]\rk=1\n\n[B]\r", "A", "n", "2", "[A]\rk=1\nn=2\r\n\n[B]\r"},
      // What the game would not see is made visible: a key without "=" gets
      // one, a "[" without "]" is no header, so the section is added.
      {"[A]\n k \nk=1\n", "A", "k", "2", "[A]\n k=2 \nk=1\n"},
      {"[Audio\nSubtitles=1\n", "Audio", "Subtitles", "0",
       "[Audio\nSubtitles=1\n[Audio]\nSubtitles=0\n"},
      {"[A\v]\r\nk=1\r\n", "A", "k", "2", "[A\v]\r\nk=2\r\n"},
      // UTF-16 stays UTF-16, mark and line ends kept.
      {"\xFF\xFE[\0A\0]\0\n\0"s, "A", "k", "\xE9", "\xFF\xFE[\0A\0]\0\n\0k\0=\0\xE9\0\n\0"s},
      {"\xFE\xFF\0k\0=\0"
       "1"s,
       "A", "k", "2",
       "\xFE\xFF\0k\0=\0"
       "1\0\r\0\n\0[\0A\0]\0\r\0\n\0k\0=\0"
       "2\0\r\0\n"s},
      {"\xEF\xBB\xBF[A]\rk=\xC3\xA9\r", "A", "k", "\xE0", "\xEF\xBB\xBF[A]\rk=\xC3\xA0\r"},
      // Missing sections are appended.
      {"[A]\nk=1\n", "B", "n", "2", "[A]\nk=1\n[B]\nn=2\n"},
      {"[A]\nk=1", "B", "n", "2", "[A]\nk=1\n[B]\nn=2\n"},
      {"", "Section", "key", "value", "[Section]\r\nkey=value\r\n"},
      {"\xEF\xBB\xBF", "S", "k", "v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"},
  };
  for (const WriteCase& c : cases) {
    EXPECT_EQ(SetProfileValue(c.before, c.section, c.key, c.value), c.after)
        << "before: " << c.before << " section: " << c.section << " key: " << c.key;
  }
}

TEST(SetProfileValue, RefusesWhatCannotBeStoredFaithfully) {
  const std::vector<std::vector<std::string>> refused = {
      {"A\nB", "k", "v"},
      {"A", "k\r", "v"},
      {"A", "k", "v\0"s},
      {"", "k", "v"},
      {"A", "", "v"},
      {"A", "k=x", "v"},
      {"A", "[k", "v"},
      {"A", ";k", "v"},
      {"A]", "k", "v"},
      {" A", "k", "v"},
      {"A", "k\t", "v"},
      {"A", "k", " v"},
      {"A", "k", "v "},
      {"A", "k", "\"v\""},
      {"A", "k", "''"},
      {"A", "k",
       "\x1a"
       "1"},
      {"A\v", "k", "v"},
  };
  for (const std::vector<std::string>& r : refused) {
    EXPECT_EQ(SetProfileValue("[A]\r\nk=1\r\n", r[0], r[1], r[2]), std::nullopt)
        << r[0] << " / " << r[1] << " / " << r[2];
  }
  // Text after a character cut by the end of the file, or after an odd byte
  // of UTF-16, would change how that character reads; with no earlier place
  // for the new lines, the write is refused.
  for (const std::string& content : {"\xEF\xBB\xBFk=x\xE2"s, "\xFF\xFEk\0=\0x"s}) {
    EXPECT_EQ(SetProfileValue(content, "B", "k", "1"), std::nullopt);
  }
}

TEST(SetProfileValue, LeavesABrokenLastCharacterAlone) {
  const std::vector<WriteCase> cases = {
      {"\xEF\xBB\xBF[A]\nk=x\xE2", "A", "k", "1", "\xEF\xBB\xBF[A]\nk=1"},
      {"\xEF\xBB\xBF[A]\nk=x\xE2", "A", "j", "1", "\xEF\xBB\xBF[A]\nj=1\nk=x\xE2"},
      {"\xEF\xBB\xBFt=1\n[A]\nk=x\xE2", "B", "j", "1", "\xEF\xBB\xBFt=1\n[B]\nj=1\n[A]\nk=x\xE2"},
      {"\xFF\xFE[\0A\0]\0\n\0k"s, "A", "j", "1",
       "\xFF\xFE[\0A\0]\0\n\0j\0=\0"
       "1\0\n\0k"s},
  };
  for (const WriteCase& c : cases) {
    EXPECT_EQ(SetProfileValue(c.before, c.section, c.key, c.value), c.after) << c.before;
  }
}

TEST(SetProfileValue, WrittenValueReadsBackAndNothingElseMoves) {
  const std::vector<std::string> contents = {
      "",
      "\xEF\xBB\xBF",
      "[A]",
      "[A]\r\nk=1",
      "[A]\rk=1\n\n[B]\r",
      "k=1\n[A]\n  k = \"1\"  \n[a]\nk=2",
      "[A\n;k=1\nk\n=\n[]\nk=3\n[B]]\n  n = 'x' ",
      "\0[A]\0\n\xff=\xfe\r\r\n[B\n\tk\t=\t\0\n"s,
      "[A]\n\n\n; end\n",
      "\n\r\n\r[a]]\nK=;\n#=#\n[b]\r\nx=\r",
  };
  const std::vector<std::vector<std::string>> writes = {
      {"A", "k", "1"},   {"a", "K", ""},  {"A", "n", "\""}, {"B", "k", "'x\""},
      {"S", "k", "v w"}, {"b", "x", "="}, {"A]", "k", "y"}, {"A", "k", "[z]"},
  };
  const std::vector<std::string> probe_sections = {"A", "B", "S", "a]", "A]"};
  const std::vector<std::string> probe_keys = {"k", "n", "x", "#", "\xff"};

  for (const std::string& content : contents) {
    for (const std::vector<std::string>& w : writes) {
      const std::optional<std::string> result = SetProfileValue(content, w[0], w[1], w[2]);
      if (!result) {
        continue;
      }
      EXPECT_EQ(FindProfileValue(*result, w[0], w[1]), w[2]) << content;
      for (const std::string& section : probe_sections) {
        for (const std::string& key : probe_keys) {
          // A tiny file holding just the written key tells whether the probe names it.
          const bool written =
              FindProfileValue("[" + w[0] + "]\n" + w[1] + "=1\n", section, key).has_value();
          if (!written) {
            EXPECT_EQ(FindProfileValue(*result, section, key),
                      FindProfileValue(content, section, key))
                << content << " after writing " << w[0] << "/" << w[1];
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace zephran::platform
