// Our profile engine (platform/profile_file.h) against the system's own
// GetPrivateProfileStringA / WritePrivateProfileStringA: the engine reads and
// writes the launcher's settings off Windows, and must mean by a file what
// Windows means by it.
//
// When these tests run on Linux, "the system" is Wine (8.0 when written),
// whose profile code is a careful copy of Windows' but not Windows itself.
// Cases where the engine deliberately follows Windows sit in the shared
// tables; what Wine is known to do otherwise is listed apart, each case
// stating both answers, so that a change on either side shows up here.
#include "platform/windows_api.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile_file.h"
#include "tests/windows/temp_folder.h"

namespace zephran::platform {
namespace {

using namespace std::string_literals;

// What both sides give for a missing file, section or key.
constexpr std::string_view kDefault = "<default>";
constexpr std::size_t kCapacity = 1024;

std::string Truncated(std::string_view text, std::size_t capacity) {
  return capacity == 0 ? std::string() : std::string(text.substr(0, capacity - 1));
}

std::string OurRead(std::string_view content, std::string_view section, std::string_view key,
                    std::size_t capacity = kCapacity) {
  const std::optional<std::string> value = FindProfileValue(content, section, key);
  return Truncated(value ? std::string_view(*value) : kDefault, capacity);
}

// Text as the system's ANSI functions return it when the file holds UTF-8.
std::string AnsiFromUtf8(const std::string& utf8) {
  const int wide_length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                      wide_length);
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

class ProfileDifferentialTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Created()) << folder_.Path(); }

  // Each content gets a file of its own: the system caches profile files
  // and would not notice a rewrite within its clock's resolution.
  std::string NewFile(std::string_view content) {
    const std::string path = folder_.Path("case" + std::to_string(++files_) + ".ini");
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::string SystemReadFile(const std::string& path, std::string_view section,
                             std::string_view key, std::size_t capacity = kCapacity) {
    std::string buffer(capacity, '\0');
    const DWORD copied = GetPrivateProfileStringA(
        std::string(section).c_str(), std::string(key).c_str(), std::string(kDefault).c_str(),
        buffer.data(), static_cast<DWORD>(capacity), path.c_str());
    buffer.resize(copied);
    return buffer;
  }

  std::string SystemRead(std::string_view content, std::string_view section, std::string_view key,
                         std::size_t capacity = kCapacity) {
    return SystemReadFile(NewFile(content), section, key, capacity);
  }

  const testing::TempFolder folder_{
      ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  int files_ = 0;
};

struct ReadCase {
  std::string what;
  std::string content;
  std::string section;
  std::string key;
};

TEST_F(ProfileDifferentialTest, ReadsAsTheSystemDoes) {
  const std::vector<ReadCase> cases = {
      {"names ignore case", "[Video]\r\nWidth=800\r\n", "VIDEO", "wIDTH"},
      {"blanks around everything", "  [ Video ]  \n\t Width \t=\t 800 \t\n", "Video", "Width"},
      {"blanks around the names asked", "[Video]\nWidth=800\n", " Video\t", " Width "},
      {"blanks inside names", "[ A B ]\nk x=1\n", "A B", "k x"},
      {"blanks inside the value", "[A]\nk = 1 2 \n", "A", "k"},
      {"single quotes", "[A]\nk='x'\n", "A", "k"},
      {"quotes keep inner blanks", "[A]\nk= \" x \" \n", "A", "k"},
      {"empty quotes", "[A]\nk=\"\"\n", "A", "k"},
      {"unlike quotes", "[A]\nk='x\"\n", "A", "k"},
      {"a lone quote", "[A]\nk=\"\n", "A", "k"},
      {"quotes not at both ends", "[A]\nk=\"x\" y\n", "A", "k"},
      {"one pair of quotes only", "[A]\nk=\"'x'\"\n", "A", "k"},
      {"doubled quotes", "[A]\nk=\"\"x\"\"\n", "A", "k"},
      {"an empty value", "[A]\nk=   \n", "A", "k"},
      {"= in the value", "[A]\nk=a=b\n", "A", "k"},
      {"; inside a value", "[A]\nk=1 ; comment\n", "A", "k"},
      {"# is no comment", "[A]\n#k=#1\n", "A", "#k"},
      {"a comment line", "[A]\n;k=1\nk=2\n", "A", "k"},
      {"a comment is no key", "[A]\n;k=1\n", "A", "k"},
      {"a commented header", "; [B]\n[A]\nk=2\n", "B", "k"},
      {"text after a header", "[A] tail\nk=1\n", "A", "k"},
      {"the last ] ends the name", "[A]b] tail\nk=1\n", "A]b", "k"},
      {"first of duplicate keys", "[A]\nk=1\nK=2\n", "a", "k"},
      {"first of duplicate sections", "[A]\nk=1\n[a]\nk=2\n", "A", "k"},
      {"only the first section", "[A]\nx=1\n[a]\nk=2\n", "A", "k"},
      {"a later section", "[A]\nk=1\n[B]\n[A]\nj=2\n", "A", "j"},
      {"an empty section", "[A]\n[B]\nk=1\n", "A", "k"},
      {"keys before any section", "k=1\n[A]\n", "A", "k"},
      {"a line without =", "[A]\nj\nk=2\n", "A", "k"},
      {"blank lines", "[A]\n\n\nk=1\n\n", "A", "k"},
      {"indented lines", "\t[A]\r\n\tk=1\r\n", "A", "k"},
      {"UTF-8 byte order mark", "\xEF\xBB\xBF[A]\nk=1", "A", "k"},
      {"CR LF", "[A]\r\nk=1\r\nj=2\r\n", "A", "j"},
      {"LF", "[A]\nk=1\nj=2\n", "A", "j"},
      {"CR", "[A]\rk=1\r\rj=2\r", "A", "j"},
      {"CR after a value", "[A]\nk=1\r\n\r", "A", "k"},
      {"CR before a value", "[A]\nk=\r1\n", "A", "k"},
      {"no final line break", "[A]\r\nk=1\r\nj=2", "A", "j"},
      {"ANSI bytes kept", "[A]\r\nk=caf\xE9\r\n", "A", "k"},
      {"an empty file", "", "A", "k"},
      {"a missing section", "[A]\nk=1\n", "B", "k"},
      {"a missing key", "[A]\nk=1\n", "A", "j"},
      {"an empty section name", "[]\nk=1\n", "", "k"},
      {"a blank section name", "[A]\nk=1\n", " ", "k"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(SystemRead(c.content, c.section, c.key), OurRead(c.content, c.section, c.key))
        << c.what;
  }
  EXPECT_EQ(SystemReadFile(folder_.Path("missing.ini"), "A", "k"), kDefault);
}

TEST_F(ProfileDifferentialTest, CutsLongValuesAtTheCapacity) {
  const std::string value(300, 'v');
  const std::vector<std::pair<std::string, std::string>> contents = {
      {"plain", "[A]\r\nk=" + value + "\r\n"}, {"quoted", "[A]\r\nk=\"" + value + "\"\r\n"}};
  for (const auto& [what, content] : contents) {
    // 301 fits the value exactly; Wine cuts the quoted one short there (see
    // KnownDivergencesFromWine).
    for (const std::size_t capacity : {1, 2, 3, 64, 255, 299, 300, 302, 4096}) {
      EXPECT_EQ(SystemRead(content, "A", "k", capacity), OurRead(content, "A", "k", capacity))
          << what << ", capacity " << capacity;
    }
  }
  EXPECT_EQ(SystemRead("[A]\r\nk=" + value, "A", "k", 301), value);
  EXPECT_EQ(SystemRead("[A]\n", "A", "k", 4), OurRead("[A]\n", "A", "k", 4));
}

struct Divergence {
  std::string what;
  std::string content;
  std::string section;
  std::string key;
  std::string system_says;
  std::string we_say;
  std::size_t capacity = kCapacity;
};

// Where the engine parts from Wine on purpose, or Wine from Windows. The
// launcher's own settings file has none of these shapes.
TEST_F(ProfileDifferentialTest, KnownDivergencesFromWine) {
  const std::string none(kDefault);
  const std::vector<Divergence> cases = {
      // Wine reads any line starting with ";" as a key when asked for one.
      {"a key named like a comment", "[A]\n;k=1\n", "A", ";k", "1", none},
      {"a comment with blanks", "[A]\n; k=1\n", "A", "; k", "1", none},
      // A line without "=" is a key without a value to Wine; asking for it
      // gives the default, and it hides a later key of the same name.
      {"a key without =", "[A]\nk\nk=1\n", "A", "k", none, "1"},
      {"an indented key without =", "[A]\n k\nk=2\n", "A", "k", none, "2"},
      // "[" without "]" opens no section in Wine; its keys go to the one
      // before, or to the nameless section at the top of the file.
      {"a header without ]", "[A\nk=1\n", "A", "k", none, "1"},
      {"keys after a broken header", "[A\nk=1\n", "", "k", "1", none},
      // We never match an empty name; Wine matches the keys above the first
      // header to the section "" and "=1" to the key "".
      {"keys before any section", "k=1\n[A]\nk=2\n", "", "k", "1", none},
      {"an empty key name", "[A]\n=1\n", "A", "", "1", none},
      {"a blank key name", "[A]\n=1\n", "A", " ", "1", none},
      // Wine trims vertical tab, form feed and Ctrl-Z like blanks.
      {"vertical tab, form feed, Ctrl-Z", "[A]\nk=\v1\f\x1a\n", "A", "k", "1", "\v1\f\x1a"},
      {"a trailing Ctrl-Z", "[A]\nk=1\x1a\n", "A", "k", "1", "1\x1a"},
      // Wine's strings end at a NUL; ours are counted.
      {"a NUL in a value", "[A]\nk=a\0b\n"s, "A", "k", "a", "a\0b"s},
      // With a byte order mark Wine decodes UTF-8 and answers in the ANSI
      // code page; the engine hands on the file's bytes.
      {"UTF-8 in the ANSI code page", "\xEF\xBB\xBF[A]\r\nk=caf\xC3\xA9\r\n", "A", "k",
       AnsiFromUtf8("caf\xC3\xA9"), "caf\xC3\xA9"},
      {"UTF-8 beyond the ANSI code page", "\xEF\xBB\xBF[A]\nk=\xCE\xA9\n", "A", "k",
       AnsiFromUtf8("\xCE\xA9"), "\xCE\xA9"},
      // Wine cuts the closing quote to fit the capacity, then drops the last
      // character as if it were still the quote.
      {"a quoted value filling the capacity", "[A]\nk=\"abc\"\n", "A", "k", "ab", "abc", 4},
  };
  for (const Divergence& c : cases) {
    EXPECT_EQ(SystemRead(c.content, c.section, c.key, c.capacity), c.system_says) << c.what;
    EXPECT_EQ(OurRead(c.content, c.section, c.key, c.capacity), c.we_say) << c.what;
  }
}

struct WriteCase {
  std::string what;
  std::string before;
  std::string section;
  std::string key;
  std::string value;
  // Read back afterwards, besides the key written.
  std::vector<std::pair<std::string, std::string>> others;
};

// Wine rewrites the whole file on every write where Windows and the engine
// touch only the line concerned, so the files are compared by what they say.
// Each result is also read by the system, to show that Windows would take
// our file as we do.
TEST_F(ProfileDifferentialTest, WritesReadBackAsTheSystemsDo) {
  const std::string long_value(1000, 'w');
  const std::vector<WriteCase> cases = {
      {"a new file", "", "Display", "ScreenWidth", "640", {{"Display", "ScreenHeight"}}},
      {"a value replaced",
       "[Display]\r\nScreenWidth=800\r\nScreenHeight=600\r\n",
       "display",
       "SCREENWIDTH",
       "1024",
       {{"Display", "ScreenHeight"}}},
      {"a key added to its section",
       "[Display]\r\nFullScreen=1\r\n\r\n[Audio]\r\nSubtitles=1\r\n",
       "Display",
       "CinemaScope",
       "0",
       {{"Display", "FullScreen"}, {"Audio", "Subtitles"}, {"Audio", "CinemaScope"}}},
      {"a section added after no final line break",
       "[Audio]\nSubtitles=1",
       "Display",
       "FullScreen",
       "0",
       {{"Audio", "Subtitles"}, {"Audio", "FullScreen"}}},
      {"LF lines", "[A]\nk=1\nj=2\n", "A", "j", "3", {{"A", "k"}}},
      {"CR lines", "[A]\rk=1\rj=2\r", "A", "k", "3", {{"A", "j"}}},
      {"CR lines, a key added", "[A]\rk=1\r", "A", "j", "2", {{"A", "k"}}},
      {"a quoted value replaced", "[A]\nk=\"old\"\n", "A", "k", "new", {}},
      {"padding around the old value", "[A]\nk =  old  \nj=1\n", "A", "k", "new", {{"A", "j"}}},
      {"an empty value", "[A]\nk=1\n", "A", "k", "", {}},
      {"inner blanks and quotes", "[A]\n", "A", "k", "a \"b\" c", {}},
      {"a long value", "[A]\n", "A", "k", long_value, {}},
      {"a comment naming the key", "[A]\n;k=1\nk=2\n; end\n", "A", "k", "3", {}},
      {"the first of duplicate sections",
       "[A]\nk=1\n[B]\nx=1\n[a]\nk=2\n",
       "A",
       "k",
       "3",
       {{"B", "x"}}},
      {"the first of duplicate keys", "[A]\nk=1\nK=2\n", "A", "k", "3", {}},
      {"a byte order mark", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "j", "2", {{"A", "k"}}},
  };
  for (const WriteCase& c : cases) {
    const std::optional<std::string> ours = SetProfileValue(c.before, c.section, c.key, c.value);
    ASSERT_TRUE(ours) << c.what;
    const std::string system_file = NewFile(c.before);
    ASSERT_TRUE(WritePrivateProfileStringA(c.section.c_str(), c.key.c_str(), c.value.c_str(),
                                           system_file.c_str()))
        << c.what;
    const std::string our_file = NewFile(*ours);

    std::vector<std::pair<std::string, std::string>> probes = c.others;
    probes.emplace_back(c.section, c.key);
    for (const auto& [section, key] : probes) {
      const std::string expected = OurRead(*ours, section, key);
      EXPECT_EQ(SystemReadFile(system_file, section, key), expected)
          << c.what << ": [" << section << "] " << key;
      EXPECT_EQ(SystemReadFile(our_file, section, key), expected)
          << c.what << ", our file: [" << section << "] " << key;
    }
    EXPECT_EQ(OurRead(*ours, c.section, c.key), c.value) << c.what;
  }
}

}  // namespace
}  // namespace zephran::platform
