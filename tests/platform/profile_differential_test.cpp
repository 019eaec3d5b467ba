// Our profile engine (platform/profile_file.h) against the system's own
// GetPrivateProfileStringA / WritePrivateProfileStringA. The engine reads and
// writes the launcher's settings off Windows, where the game reads them with
// Wine's kernel32; run under Wine, as the cross build's tests are, this holds
// the engine to what the game will see. The tables name one rule per case;
// the generated corpus looks for what the tables missed.
#include "platform/windows_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/profile_file.h"
#include "tests/windows/temp_folder.h"

namespace zephran::platform {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// The launcher's buffer: 255 characters, default "".
constexpr std::size_t kCapacity = 255;

std::string OurRead(std::string_view content, std::string_view section, std::string_view key,
                    std::size_t capacity = kCapacity) {
  return ReadProfileValue(content, section, key, capacity).value_or("");
}

std::string Utf16(std::u16string_view text, bool little_endian = true) {
  std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t c : text) {
    const char low = static_cast<char>(c & 0xFF);
    const char high = static_cast<char>(c >> 8);
    bytes.push_back(little_endian ? low : high);
    bytes.push_back(little_endian ? high : low);
  }
  return bytes;
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

  static std::string SystemReadFile(const std::string& path, std::string_view section,
                                    std::string_view key, std::size_t capacity = kCapacity) {
    std::string buffer(capacity + 1, '\0');
    const DWORD copied =
        GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(), "",
                                 buffer.data(), static_cast<DWORD>(capacity), path.c_str());
    buffer.resize(copied);
    return buffer;
  }

  // The system's list of a section's key names (no key asked for), without
  // the names in `leaving_out` in any case.
  static std::vector<std::string> SystemKeyList(const std::string& path, std::string_view section,
                                                const std::vector<std::string_view>& leaving_out) {
    std::string buffer(4096, '\0');
    const DWORD copied = GetPrivateProfileStringA(std::string(section).c_str(), nullptr, "",
                                                  buffer.data(), 4096, path.c_str());
    std::vector<std::string> names;
    for (std::size_t at = 0; at < copied; at = buffer.find('\0', at) + 1) {
      const std::string name = buffer.substr(at, buffer.find('\0', at) - at);
      const auto same = [&](std::string_view other) {
        return std::ranges::equal(name, other, [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        });
      };
      if (std::ranges::none_of(leaving_out, same)) {
        names.push_back(name);
      }
    }
    return names;
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
      {"only ASCII ignores case", "[\xC9t\xE9]\r\nk=1\r\n", "\xE9t\xE9", "k"},
      {"blanks around everything", "  [ Video ]  \n\t Width \t=\t 800 \t\n", "Video", "Width"},
      {"blanks around the names asked", "[Video]\nWidth=800\n", " Video\t", " Width "},
      {"vertical tab, form feed, Ctrl-Z are blanks", "[A\v]\nk=\f1\x1a\n", "A", "k"},
      {"a trailing Ctrl-Z", "[A]\nk=32\x1a", "A", "k"},
      {"no-break space is no blank",
       "[A]\nk=\xA0"
       "1\n",
       "A", "k"},
      {"blanks inside names", "[ A B ]\nk x=1\n", "A B", "k x"},
      {"blanks inside the value", "[A]\nk = 1 2 \n", "A", "k"},
      {"single quotes", "[A]\nk='x'\n", "A", "k"},
      {"quotes keep inner blanks", "[A]\nk= \" x \" \n", "A", "k"},
      {"empty quotes", "[A]\nk=\"\"\n", "A", "k"},
      {"unlike quotes", "[A]\nk='x\"\n", "A", "k"},
      {"a lone quote", "[A]\nk=\"\n", "A", "k"},
      {"quotes not at both ends", "[A]\nk=\"x\" y\n", "A", "k"},
      {"one pair of quotes only", "[A]\nk=\"'x'\"\n", "A", "k"},
      {"an empty value", "[A]\nk=   \n", "A", "k"},
      {"= in the value", "[A]\nk=a=b\n", "A", "k"},
      {"; inside a value", "[A]\nk=1 ; comment\n", "A", "k"},
      {"a comment line", "[A]\n;k=1\nk=2\n", "A", "k"},
      {"a comment is a key of its own", "[A]\n;k=1\n", "A", ";k"},
      {"text after a header", "[A] tail\nk=1\n", "A", "k"},
      {"the last ] ends the name", "[A]b] tail\nk=1\n", "A]b", "k"},
      {"[ without ] opens no section", "[Audio\nSubtitles=1\n", "Audio", "Subtitles"},
      {"keys after a broken header", "[A]\nj=0\n[B\nk=1\n", "A", "k"},
      {"NUL ends a value",
       "[A]\nk=64\0"
       "0\n"s,
       "A", "k"},
      {"NUL ends a section name", "[Display\0]\nk=1\n"s, "Display", "k"},
      {"NUL ends a key name", "[A]\nk\0x=1\n"s, "A", "k"},
      {"a line without = reads as missing", "[A]\nk\nk=640\n", "A", "k"},
      {"first of duplicate keys", "[A]\nk=1\nK=2\n", "a", "k"},
      {"first of duplicate sections", "[A]\nk=1\n[a]\nk=2\n", "A", "k"},
      {"only the first section", "[A]\nx=1\n[a]\nk=2\n", "A", "k"},
      {"keys before any section", "k=1\n[A]\n", "A", "k"},
      {"the nameless section", "k=1\n[A]\nk=2\n", "", "k"},
      {"an empty key name", "[A]\n=1\n", "A", " "},
      {"CR LF", "[A]\r\nk=1\r\nj=2\r\n", "A", "j"},
      {"CR", "[A]\rk=1\r\rj=2\r", "A", "j"},
      {"CR in a LF file", "[A]\rk=1\n", "A", "k"},
      {"no final line break", "[A]\r\nk=1\r\nj=2", "A", "j"},
      {"ANSI bytes kept", "[A]\r\nk=caf\xE9\x81\r\n", "A", "k"},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF[A]\nk=caf\xC3\xA9 \xE2\x82\xAC\n", "A", "k"},
      {"UTF-8 outside the code page", "\xEF\xBB\xBF[A]\nk=\xCE\xA9\xEF\xBC\x96\xF0\x9F\x98\x80\n",
       "A", "k"},
      {"broken UTF-8", "\xEF\xBB\xBF[A]\nk=\xE2\x82+\xC0\x80+\xF4\x90\x80\x80+\xED\xA0\x80\n", "A",
       "k"},
      {"UTF-8 cut by the end",
       "\xEF\xBB\xBF[A]\nk=x\xE2"
       "A",
       "A", "k"},
      {"UTF-16LE", Utf16(u"[Display]\r\nScreenWidth=512\r\n"), "Display", "ScreenWidth"},
      {"UTF-16BE", Utf16(u"[A]\nk=\u00e9\u0100\uff16\n", false), "A", "k"},
      {"UTF-16 surrogates", Utf16(u"[A]\nk=<\U0001F600\xD800>\n"), "A", "k"},
      {"an empty file", "", "A", "k"},
      {"a missing section", "[A]\nk=1\n", "B", "k"},
      {"a missing key", "[A]\nk=1\n", "A", "j"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(SystemRead(c.content, c.section, c.key), OurRead(c.content, c.section, c.key))
        << c.what;
  }
  EXPECT_EQ(SystemReadFile(folder_.Path("missing.ini"), "A", "k"), "");
}

TEST_F(ProfileDifferentialTest, CutsLongValuesAtTheCapacity) {
  for (const std::size_t length : {253, 254, 255, 300}) {
    const std::string value(length, 'v');
    for (const std::string& content :
         {"[A]\r\nk=" + value + "\r\n", "[A]\r\nk=\"" + value + "\"", "[A]\nk='" + value + "'\n"}) {
      for (const std::size_t capacity : {1, 2, 3, 64, 254, 255, 256, 299, 300, 302, 4096}) {
        EXPECT_EQ(SystemRead(content, "A", "k", capacity), OurRead(content, "A", "k", capacity))
            << content.substr(0, 8) << " length " << length << ", capacity " << capacity;
      }
    }
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

// Wine rewrites the whole file on every write where the engine touches only
// the line concerned, so the files are compared by what they say.
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
      {"CR lines, a key added", "[A]\rk=1\r", "A", "j", "2", {{"A", "k"}}},
      {"padding around the old value", "[A]\nk =  old  \nj=1\n", "A", "k", "new", {{"A", "j"}}},
      {"inner blanks and quotes", "[A]\n", "A", "k", "a \"b\" c", {}},
      {"a long value", "[A]\n", "A", "k", long_value, {}},
      {"a key without =", "[A]\nk\nk=1\n", "A", "k", "2", {}},
      {"a header without ]", "[Audio\nSubtitles=1\n", "Audio", "Subtitles", "0", {}},
      {"a header ending in a vertical tab",
       "[Display\v]\nFullScreen=1\n",
       "Display",
       "ScreenWidth",
       "640",
       {{"Display", "FullScreen"}}},
      {"a byte order mark", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "j", "\xE9", {{"A", "k"}}},
      {"UTF-16", Utf16(u"[A]\r\nk=\u0100\r\n"), "A", "j", "\xE9", {{"A", "k"}}},
      {"UTF-16, a section added", Utf16(u"[A]\r\nk=1"), "B", "j", "2", {{"A", "k"}}},
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
      const std::string expected = OurRead(*ours, section, key, 4096);
      EXPECT_EQ(SystemReadFile(system_file, section, key, 4096), expected)
          << c.what << ": [" << section << "] " << key;
      EXPECT_EQ(SystemReadFile(our_file, section, key, 4096), expected)
          << c.what << ", our file: [" << section << "] " << key;
    }
    EXPECT_EQ(OurRead(*ours, c.section, c.key, 4096), c.value) << c.what;
  }
}

// Settings files made at random from the shapes the rules are about, then
// mutated byte by byte, from a fixed seed.
class CorpusMaker {
 public:
  explicit CorpusMaker(std::uint32_t seed) : random_(seed) {}

  std::string File() {
    std::string text;
    const int lines = Below(14);
    for (int i = 0; i < lines; ++i) {
      text += Line();
      if (i + 1 < lines || Chance(70)) {
        text += Pick(kLineEnds);
      }
    }
    for (int mutations = Chance(40) ? Below(4) + 1 : 0; mutations > 0; --mutations) {
      Mutate(text);
    }
    switch (Below(10)) {
      case 0:
        return "\xEF\xBB\xBF" + Utf8(text);
      case 1:
        return "\xEF\xBB\xBF" + Junk(Utf8(text));
      case 2:
        return Utf16(Wide(text));
      case 3:
        return Utf16(Wide(text), Chance(50));
      default:
        return text;
    }
  }

  std::string Value() { return std::string(Pick(kWrittenValues)); }

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool Chance(int percent) { return Below(100) < percent; }

  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
  }

 private:
  static constexpr std::array<std::string_view, 7> kLineEnds = {"\r\n", "\r\n",   "\n",  "\r",
                                                                "\n\r", "\r\r\n", "\n\n"};
  static constexpr std::array<std::string_view, 9> kBlanks = {"",   "",   " ",    "\t",  "  ",
                                                              "\v", "\f", "\x1a", "\xA0"};
  static constexpr std::array<std::string_view, 12> kSections = {
      "Display",  "Audio",   "display", "AUDIO",    "Video",     "Display ",
      "Dis play", "Audio\v", "",        "Display]", "Au\0dio"sv, "Displa"};
  static constexpr std::array<std::string_view, 14> kKeys = {
      "ScreenWidth",  "ScreenHeight", "FullScreen", "VideoWidth",     "VideoHeight",
      "CinemaScope",  "BitsPerPixel", "Subtitles",  "screenwidth",    "SUBTITLES",
      ";ScreenWidth", "Screen Width", "",           "FullScreen\0x"sv};
  static constexpr std::array<std::string_view, 15> kValues = {"640",
                                                               "512",
                                                               "1",
                                                               "0",
                                                               "32",
                                                               "16",
                                                               "",
                                                               "\"800\"",
                                                               "'1'",
                                                               "\"1",
                                                               "1 ; note",
                                                               "64\0"
                                                               "0"sv,
                                                               "\xE9t\xE9",
                                                               "= 2",
                                                               "01"};
  static constexpr std::array<std::string_view, 8> kWrittenValues = {"640", "480", "0",     "1",
                                                                     "32",  "16",  "800 x", "\xE9"};

  std::string Blank() { return std::string(Pick(kBlanks)); }

  std::string Line() {
    switch (Below(12)) {
      case 0:
        return "";
      case 1:
        return Blank() + ";" + std::string(Pick(kKeys)) + "=1";
      case 2:
      case 3:
        return Header();
      case 4:
        return Blank() + std::string(Pick(kKeys)) + Blank();
      case 5:
        return std::string(Pick(kKeys)) + "=" + Quoted(std::string(Below(2) ? 253 : 300, 'x'));
      default:
        return Blank() + std::string(Pick(kKeys)) + Blank() + "=" + Blank() + Item() + Blank();
    }
  }

  std::string Header() {
    std::string header = Blank() + "[" + Blank() + std::string(Pick(kSections)) + Blank();
    if (!Chance(15)) {
      header += "]";
    }
    if (Chance(15)) {
      header += Chance(50) ? " tail" : "]";
    }
    return header + Blank();
  }

  std::string Item() {
    std::string value(Pick(kValues));
    if (Chance(10)) {
      value += static_cast<char>(Below(256));
    }
    return value;
  }

  std::string Quoted(std::string inner) {
    const char quote = Chance(50) ? '"' : '\'';
    return quote + inner + (Chance(80) ? std::string(1, quote) : "");
  }

  void Mutate(std::string& text) {
    const auto at = static_cast<std::size_t>(Below(static_cast<int>(text.size()) + 1));
    const char byte = static_cast<char>(Chance(50) ? Below(256) : "\r\n[]=;\"' \t\v\0"[Below(12)]);
    switch (Below(4)) {
      case 0:
        text.insert(at, 1, byte);
        break;
      case 1:
        if (at < text.size()) {
          text.erase(at, 1);
        }
        break;
      case 2:
        if (at < text.size()) {
          text[at] = byte;
        }
        break;
      default:
        text.insert(at, text.substr(at, static_cast<std::size_t>(Below(16))));
    }
  }

  // Windows-1252 bytes as UTF-16, now and then with characters the code
  // page lacks, best-fit ones among them.
  std::u16string Wide(std::string_view text) {
    static constexpr std::array<char16_t, 8> kExtra = {0x0100, 0xFF16, 0x0130, 0x2028,
                                                       0x00A0, 0xD800, 0x3000, 0x0080};
    std::u16string wide;
    for (const char c : text) {
      wide.push_back(static_cast<unsigned char>(c) < 0x80 || static_cast<unsigned char>(c) >= 0xA0
                         ? static_cast<unsigned char>(c)
                         : 0x20AC);
      if (Chance(3)) {
        wide.push_back(Pick(kExtra));
      }
    }
    return wide;
  }

  std::string Utf8(std::string_view text) {
    std::string out;
    for (const char16_t c : Wide(text)) {
      AppendUtf8(out, c);
    }
    return out;
  }

  // Broken sequences dropped in at random.
  std::string Junk(std::string text) {
    static constexpr std::array<std::string_view, 8> kBroken = {
        "\xE2\x82", "\xC0\x80", "\xF4\x90\x80\x80", "\xED\xA0\x80",
        "\x80",     "\xFF",     "\xF0\x9F",         "\xF0\x9F\x98\x80"};
    for (int n = Below(4) + 1; n > 0; --n) {
      text.insert(static_cast<std::size_t>(Below(static_cast<int>(text.size()) + 1)),
                  Pick(kBroken));
    }
    return text;
  }

  std::mt19937 random_;
};

struct Probe {
  std::string_view section;
  std::string_view key;
};

// The eight keys the launcher reads and writes, and three it never finds.
constexpr std::array<Probe, 11> kProbes = {{
    {"Display", "ScreenWidth"},
    {"Display", "ScreenHeight"},
    {"Display", "FullScreen"},
    {"Display", "VideoWidth"},
    {"Display", "VideoHeight"},
    {"Display", "CinemaScope"},
    {"Display", "BitsPerPixel"},
    {"Audio", "Subtitles"},
    {"Display", "Subtitles"},
    {"Audio", "Gamma"},
    {"Sound", "ScreenWidth"},
}};

// What a launch writes for a random choice of resolution and options, in
// the order of kProbes.
std::vector<std::optional<std::string>> LaunchValues(CorpusMaker& maker) {
  static constexpr std::array<std::array<std::string_view, 4>, 4> kModes = {{
      {"640", "480", "800", "600"},
      {"512", "384", "640", "480"},
      {"400", "300", "512", "384"},
      {"320", "240", "400", "300"},
  }};
  const auto& mode = maker.Pick(kModes);
  const bool full_screen = maker.Chance(50);
  std::vector<std::optional<std::string>> values(kProbes.size());
  values[0] = std::string(mode[0]);
  values[1] = std::string(mode[1]);
  values[2] = full_screen ? "1" : "0";
  values[3] = std::string(full_screen ? mode[0] : mode[2]);
  values[4] = std::string(full_screen ? mode[1] : mode[3]);
  values[5] = maker.Chance(50) ? "1" : "0";
  values[6] = maker.Chance(50) ? "32" : "16";
  values[7] = maker.Chance(50) ? "1" : "0";
  return values;
}

// A longer hunt: ZEPHRAN_PROFILE_FILES files from ZEPHRAN_PROFILE_SEED.
int FromEnvironment(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

TEST_F(ProfileDifferentialTest, GeneratedFilesReadAndWriteAsTheSystemSeesThem) {
  const int kFiles = FromEnvironment("ZEPHRAN_PROFILE_FILES", 1000);
  CorpusMaker maker(static_cast<std::uint32_t>(FromEnvironment("ZEPHRAN_PROFILE_SEED", 20261207)));
  int reads = 0;
  int writes = 0;
  int refused = 0;
  int differences = 0;
  std::ostringstream report;
  const auto differ = [&](const std::string& content, const std::string& what) {
    if (++differences <= 10) {
      report << what << " in ";
      for (const char c : content.substr(0, 120)) {
        char escaped[8] = {c, '\0'};
        if (c < 0x20 || c >= 0x7F) {
          std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
        }
        report << escaped;
      }
      report << "\n";
    }
  };

  // After the generated files, some made by hand: a key without "=" gains its
  // value ahead of an empty name that hides the section's list, behind or
  // ahead of other empty names (which Wine drops or finds first).
  constexpr std::array<std::string_view, 4> kHiddenLists = {
      "[AUDIO]\r\nSubtitles=0\r\n[Display]\v\r\nFullScreen\r=01\r\nAdapter=0\r\n"
      "ScreenWidth=640\r\nVSync=1\r\nVideoWidth\0=800\r\nBitsPerPixel=32\r\n"sv,
      "[Display]\r\n\0x\r\nFullScreen\r\n=02\r\nAdapter=0\r\n"sv,
      "[Display]\r\nFullScreen\r\n\0x\r\n\0y=2\r\nAdapter=0\r\n"sv,
      "[Display]\r\nFullScreen\r\n\0x\r\nB\r\n=02\r\nAdapter=0\r\n"sv,
  };
  const int files = kFiles + static_cast<int>(kHiddenLists.size());
  for (int i = 0; i < files; ++i) {
    const std::string content =
        i < kFiles ? maker.File() : std::string(kHiddenLists[static_cast<std::size_t>(i - kFiles)]);
    const std::string path = NewFile(content);
    std::vector<std::string> before;
    for (const Probe& probe : kProbes) {
      before.push_back(SystemReadFile(path, probe.section, probe.key));
      ++reads;
      if (OurRead(content, probe.section, probe.key) != before.back()) {
        differ(content, "read [" + std::string(probe.section) + "] " + std::string(probe.key));
      }
    }

    // One write of any of the eight keys, with a value of any kind; then a
    // whole launch: the eight keys in the launcher's order, each write made
    // on the result of the one before.
    std::vector<std::optional<std::string>> single(kProbes.size());
    single[static_cast<std::size_t>(maker.Below(8))] = maker.Value();
    std::vector<std::optional<std::string>> launch = LaunchValues(maker);
    for (const auto* values : {&single, &launch}) {
      std::optional<std::string> ours = content;
      for (const std::size_t p : {0, 1, 2, 3, 4, 5, 7, 6}) {
        if (ours && (*values)[p]) {
          ours = SetProfileValue(*ours, kProbes[p].section, kProbes[p].key, *(*values)[p]);
          ++writes;
        }
      }
      if (!ours) {
        ++refused;
        continue;
      }
      const std::string our_path = NewFile(*ours);
      // A program that lists a section's keys finds the same others.
      for (const std::string_view section : {"Display", "Audio"}) {
        std::vector<std::string_view> written;
        for (std::size_t p = 0; p < kProbes.size(); ++p) {
          if ((*values)[p] && kProbes[p].section == section) {
            written.push_back(kProbes[p].key);
          }
        }
        if (SystemKeyList(path, section, written) != SystemKeyList(our_path, section, written)) {
          differ(content, "the list of [" + std::string(section) + "]'s other keys");
        }
      }
      for (std::size_t p = 0; p < kProbes.size(); ++p) {
        const std::string expected = (*values)[p].value_or(before[p]);
        ++reads;
        if (SystemReadFile(our_path, kProbes[p].section, kProbes[p].key) != expected ||
            OurRead(*ours, kProbes[p].section, kProbes[p].key) != expected) {
          differ(content, std::string(values == &single ? "after one write" : "after a launch") +
                              ", [" + std::string(kProbes[p].section) + "] " +
                              std::string(kProbes[p].key));
        }
      }
    }
  }
  std::printf("profile corpus: %d files, %d reads, %d writes (%d refused), %d differences\n", files,
              reads, writes, refused, differences);
  EXPECT_EQ(differences, 0) << report.str();
  // A refusal stops a launch; only a file broken at its very end may cause one.
  EXPECT_LE(refused, kFiles / 50);
}

}  // namespace
}  // namespace zephran::platform
