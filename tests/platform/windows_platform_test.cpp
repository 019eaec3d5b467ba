#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/native_platform.h"
#include "platform/profile_file.h"
#include "platform/windows_command_line.h"
#include "platform/windows_newer_calls.h"
#include "platform/windows_text.h"
#include "tests/windows/temp_folder.h"

namespace zephran::platform {
namespace {

using TestPlatform = NativePlatform;

// Paths are UTF-8 here, as everywhere in the launcher.
std::wstring Wide(const std::string& path) {
  return Utf16FromUtf8(path);
}

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary) << bytes;
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str());
}

std::string CurrentTestName() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class WindowsPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Created()) << folder_.Path(); }

  std::string Path(std::string_view name) const { return folder_.Path(name); }

  std::string File(std::string_view name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
    const std::string path = Path(name);
    WriteBytes(path, "x");
    EXPECT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes)) << path;
    return path;
  }

  std::string Folder(std::string_view name, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY) const {
    const std::string path = Path(name);
    EXPECT_TRUE(CreateDirectoryW(Wide(path).c_str(), nullptr)) << path;
    EXPECT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes)) << path;
    return path;
  }

  const testing::TempFolder folder_{CurrentTestName()};
  TestPlatform platform_;
};

struct DirCase {
  std::string pattern;  // below the test folder
  unsigned mask = 0;
  std::string expected;
};

TEST_F(WindowsPlatformTest, FirstDirEntryAdmitsByMask) {
  File("plain.txt");
  File("readonly.txt", FILE_ATTRIBUTE_READONLY);
  File("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  File("system.txt", FILE_ATTRIBUTE_SYSTEM);
  File("both.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Folder("folder");
  Folder("hiddenfolder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);

  const std::vector<DirCase> cases = {
      {"plain.txt", 0, "plain.txt"},
      {"PLAIN.TXT", 0, "plain.txt"},
      {"p?ain.*", 0, "plain.txt"},
      {"readonly.txt", 0, "readonly.txt"},
      {"readonly.txt", kAttrHidden, "readonly.txt"},
      {"hidden.txt", 0, ""},
      {"hidden.txt", kAttrReadOnly | kAttrSystem | kAttrDirectory, ""},
      {"hidden.txt", kAttrHidden, "hidden.txt"},
      {"system.txt", kAttrHidden, ""},
      {"system.txt", kAttrSystem, "system.txt"},
      {"both.txt", kAttrHidden, ""},
      {"both.txt", kAttrSystem, ""},
      {"both.txt", kAttrHidden | kAttrSystem, "both.txt"},
      {"folder", 0, ""},
      {"folder", kAttrDirectory, "folder"},
      {"hiddenfolder", kAttrDirectory, ""},
      {"hiddenfolder", kAttrAny, "hiddenfolder"},
      {"missing.txt", kAttrAny, ""},
      {"missing\\plain.txt", kAttrAny, ""},
      // A folder path ends with the separator and gives its first entry.
      {"folder\\", 0, "."},
      {"hiddenfolder\\", 0, "."},
      {"missing\\", kAttrAny, ""},
      {"plain.txt\\", kAttrAny, ""},
  };
  for (const DirCase& c : cases) {
    EXPECT_EQ(platform_.FirstDirEntry(Path(c.pattern), c.mask), c.expected)
        << c.pattern << " mask " << c.mask;
  }
  EXPECT_EQ(platform_.FirstDirEntry(folder_.Path() + "\\", 0), ".");
  EXPECT_EQ(platform_.FirstDirEntry("", kAttrAny), "");
}

TEST_F(WindowsPlatformTest, FirstDirEntrySkipsWhatTheMaskRefuses) {
  // Whatever order the listing has, only one entry here is an ordinary
  // file, and "." and ".." are folders.
  Folder("mixed");
  File("mixed\\a.txt", FILE_ATTRIBUTE_HIDDEN);
  File("mixed\\b.txt", FILE_ATTRIBUTE_SYSTEM);
  Folder("mixed\\c.txt");
  File("mixed\\d.txt");
  File("mixed\\e.txt", FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(platform_.FirstDirEntry(Path("mixed\\*"), 0), "d.txt");
  EXPECT_EQ(platform_.FirstDirEntry(Path("mixed\\*.txt"), kAttrReadOnly), "d.txt");
  EXPECT_EQ(platform_.FirstDirEntry(Path("mixed\\?.dat"), kAttrAny), "");
}

TEST_F(WindowsPlatformTest, SetNormalAttributesMakesAFileWritable) {
  // Whether the write would have failed before depends on who runs the test:
  // Wine keeps read-only as a permission bit, which root ignores.
  const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const std::string settings = File("zephran.ini", blocking);
  ASSERT_EQ(Attributes(settings) & blocking, blocking);

  platform_.SetNormalAttributes(settings);
  EXPECT_EQ(Attributes(settings) & blocking, 0u);
  EXPECT_TRUE(platform_.WriteProfileString("Display", "BitsPerPixel", "16", settings));
  EXPECT_EQ(platform_.ReadProfileString("display", "bitsperpixel", "", 255, settings), "16");

  platform_.SetNormalAttributes(Path("missing.ini"));
  EXPECT_EQ(Attributes(Path("missing.ini")), INVALID_FILE_ATTRIBUTES);
}

// Run again with the newer calls looked up as missing, this checks XP's way
// against the same answers.
TEST(SameNameIgnoringCase, IgnoresLetterCaseAndNothingElse) {
  EXPECT_TRUE(SameNameIgnoringCase(L"C:\\Jeux\\Zephran.INI", L"c:\\jeux\\zephran.ini"));
  EXPECT_TRUE(SameNameIgnoringCase(L"\u00C9t\u00E9", L"\u00E9T\u00C9"));  // accented
  EXPECT_TRUE(SameNameIgnoringCase(L"", L""));
  EXPECT_FALSE(SameNameIgnoringCase(L"zephran.ini", L"zephran.in"));
  EXPECT_FALSE(SameNameIgnoringCase(L"zephran.ini", L"zephran.ini "));
  EXPECT_FALSE(SameNameIgnoringCase(L"\u00C9t\u00E9", L"Ete"));  // accents count
}

TEST_F(WindowsPlatformTest, ReadProfileStringKeepsToTheCapacity) {
  const std::string value(10000, 'v');
  const std::string settings = Path("long.ini");
  WriteBytes(settings, "[A]\r\nk=" + value + "\r\n");
  const std::vector<std::pair<std::size_t, std::size_t>> capacity_and_length = {
      {0, 0},       {1, 0},       {2, 1},        {255, 254},     {4096, 4095},
      {4097, 4096}, {8193, 8192}, {10000, 9999}, {10001, 10000}, {1 << 20, 10000},
  };
  for (const auto& [capacity, length] : capacity_and_length) {
    EXPECT_EQ(platform_.ReadProfileString("A", "k", "", capacity, settings),
              value.substr(0, length))
        << "capacity " << capacity;
  }
  // Quoted, the value ends exactly where the first try's buffer does.
  const std::string quoted = Path("quoted.ini");
  WriteBytes(quoted, "[A]\r\nk=\"" + value.substr(0, 4095) + "\"\r\n");
  EXPECT_EQ(platform_.ReadProfileString("A", "k", "", 1 << 20, quoted), value.substr(0, 4095));
  EXPECT_EQ(platform_.ReadProfileString("A", "j", "default", 255, settings), "default");
  EXPECT_EQ(platform_.ReadProfileString("A", "j", "default", 4, settings), "def");
  EXPECT_EQ(platform_.ReadProfileString("A", "k", "default", 255, Path("missing.ini")), "default");
}

TEST_F(WindowsPlatformTest, WriteProfileStringCreatesTheFileAndFailsWithoutItsFolder) {
  const std::string settings = Path("new.ini");
  EXPECT_TRUE(platform_.WriteProfileString("Audio", "Subtitles", "1", settings));
  EXPECT_TRUE(platform_.WriteProfileString("Display", "FullScreen", "0", settings));
  EXPECT_TRUE(platform_.WriteProfileString("AUDIO", "subtitles", "0", settings));
  EXPECT_EQ(platform_.ReadProfileString("Audio", "Subtitles", "", 255, settings), "0");
  EXPECT_EQ(platform_.ReadProfileString("Display", "FullScreen", "", 255, settings), "0");
  EXPECT_FALSE(platform_.WriteProfileString("A", "k", "1", Path("missing\\new.ini")));
}

TEST_F(WindowsPlatformTest, GroupedWritesSetEveryValueOrSayWhyNot) {
  const std::vector<ProfileValue> values{{"Display", "ScreenWidth", "640"},
                                         {"Audio", "Subtitles", "1"}};
  const std::string settings = Path("zephran.ini");
  const SaveResult saved = platform_.WriteProfileStrings(values, settings);
  EXPECT_TRUE(saved.saved) << saved.reason;
  EXPECT_EQ(platform_.ReadProfileString("Display", "ScreenWidth", "", 255, settings), "640");
  EXPECT_EQ(platform_.ReadProfileString("Audio", "Subtitles", "", 255, settings), "1");

  const SaveResult refused = platform_.WriteProfileStrings(values, Path("missing\\zephran.ini"));
  EXPECT_FALSE(refused.saved);
  // The system's words, without the line break and full stop it ends them with.
  EXPECT_FALSE(refused.reason.empty() || refused.reason.ends_with('\n') ||
               refused.reason.ends_with('.'))
      << refused.reason;

  // Too large to be a settings file: not read, not written.
  const std::string huge = Path("huge.ini");
  WriteBytes(huge, "[Display]\r\nScreenWidth=640\r\n" + std::string(kLargestProfileFile, ';'));
  EXPECT_EQ(platform_.ReadProfileString("Display", "ScreenWidth", "none", 255, huge), "none");
  EXPECT_FALSE(platform_.WriteProfileStrings(values, huge).saved);
}

// What a save leaves beside the file while it runs: its marker and working
// files, all named after the file.
std::vector<std::string> Leftovers(const std::string& settings) {
  std::vector<std::string> found;
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW(Wide(settings + ".*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return found;
  }
  // "name.*" also matches the name itself.
  const std::wstring own = std::filesystem::path(Wide(settings)).filename().wstring();
  do {
    if (entry.cFileName != own) {
      found.push_back(Utf8FromUtf16(entry.cFileName));
    }
  } while (FindNextFileW(search, &entry) != FALSE);
  FindClose(search);
  return found;
}

constexpr std::string_view kSettings =
    "[Display]\r\nScreenWidth=400\r\nFullScreen=0\r\nGamma=4\r\n\r\n[Audio]\r\nMusic=80\r\n";

constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct SaveCase {
  const char* name;
  std::string bytes;
  DWORD attributes;
  std::vector<ProfileValue> values;
  const char* reason;  // empty when saved
  bool changes = true;
  bool held = false;  // by another program, sharing nothing: waited for briefly
};

// Saved whole, with the attributes and every other key kept, or not at all
// and said why; nothing left beside the file either way.
TEST_F(WindowsPlatformTest, ASaveIsWholeOrNothingAndWritesNothingItNeedNot) {
  const std::vector<ProfileValue> same{{"Display", "ScreenWidth", "400"},
                                       {"display", "fullscreen", "0"}};
  const std::vector<ProfileValue> change{{"Display", "ScreenWidth", "640"},
                                         {"Audio", "Subtitles", "1"}};
  std::string full = std::string(kSettings) + ";";
  full.resize(kLargestProfileFile - 2, 'x');
  full += "\r\n";
  const std::vector<SaveCase> cases = {
      {"nothing to change in a read-only file", std::string(kSettings), FILE_ATTRIBUTE_READONLY,
       same, "", false},
      {"a change to a read-only file", std::string(kSettings), FILE_ATTRIBUTE_READONLY, change,
       "it is read-only"},
      {"growing past 1 MiB", full, FILE_ATTRIBUTE_NORMAL, change, "larger than 1 MiB"},
      {"a hidden file", std::string(kSettings), FILE_ATTRIBUTE_HIDDEN, change, ""},
      {"a file held open", std::string(kSettings), FILE_ATTRIBUTE_NORMAL, change,
       "another program holds it open", true, true},
  };
  for (const SaveCase& save : cases) {
    SCOPED_TRACE(save.name);
    const std::string settings = Path(std::string(save.name) + ".ini");
    WriteBytes(settings, save.bytes);
    ASSERT_TRUE(SetFileAttributesW(Wide(settings).c_str(), save.attributes));
    const HANDLE held = save.held ? CreateFileW(Wide(settings).c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                  : INVALID_HANDLE_VALUE;
    const auto start = std::chrono::steady_clock::now();

    const SaveResult result = platform_.WriteProfileStrings(save.values, settings);

    if (held != INVALID_HANDLE_VALUE) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
      CloseHandle(held);
    }

    EXPECT_EQ(result.saved, *save.reason == '\0') << result.reason;
    EXPECT_NE(result.reason.find(save.reason), std::string::npos) << result.reason;
    EXPECT_EQ(Attributes(settings) & kKept, save.attributes & kKept);
    EXPECT_EQ(Leftovers(settings), std::vector<std::string>{});
    const std::string after = ReadBytes(settings).value_or("");
    if (!result.saved || !save.changes) {
      EXPECT_EQ(after, save.bytes);
      continue;
    }
    for (const ProfileValue& value : save.values) {
      EXPECT_EQ(FindProfileValue(after, value.section, value.key), value.value);
    }
    EXPECT_EQ(FindProfileValue(after, "Display", "Gamma"), "4");
    EXPECT_EQ(FindProfileValue(after, "Audio", "Music"), "80");
  }
}

// A save killed inside ReplaceFileW leaves the original under its backup
// name only, one killed before it a copy; its marker names both. The Linux
// program killed while it rewrote the file in place leaves it cut and its
// old bytes in a recovery copy. The next start puts the original back, the next save removes the
// rest; a marker that is not one of ours stops the save and is left alone.
TEST_F(WindowsPlatformTest, AKilledSaveIsFinishedFromItsMarker) {
  const auto marker = [](const std::string& name, const std::string& lines) {
    return "Zephran Loader+ save in progress\r\nfile=" + name + "\r\n" + lines;
  };
  struct Case {
    const char* name;
    bool original_moved;  // only under the backup name
    std::string marker;
    const char* reason;      // of the save after it; empty when saved
    bool rewritten = false;  // cut by the Linux program's rewrite in place
  };
  const std::vector<Case> cases = {
      {"moved", true,
       marker("moved.ini", "copy=moved.ini.0001.new~\r\nbackup=moved.ini.0001.old~\r\n"), ""},
      {"in-place", false,
       marker("in-place.ini", "copy=in-place.ini.0001.new~\r\nbackup=in-place.ini.0001.old~\r\nco"),
       ""},
      {"rewritten", false,
       marker("rewritten.ini",
              "backup=rewritten.ini.0001.old~\r\nrewriting=rewritten.ini.0001.old~\r\n"),
       "", true},
      {"foreign", false, "[Display]\r\n",
       "foreign.ini.saving~ beside it was not made by a launcher; remove it to save"},
      {"elsewhere", false, marker("elsewhere.ini", "copy=other.ini\r\n"),
       "elsewhere.ini.saving~ beside it was not made by a launcher; remove it to save"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string settings = Path(std::string(c.name) + ".ini");
    const std::string cut = "[Display]\r\nScreenW";
    WriteBytes(settings + ".0001.old~", c.original_moved || c.rewritten ? kSettings : cut);
    if (!c.original_moved) {
      WriteBytes(settings, c.rewritten ? cut : kSettings);
    }
    if (!c.rewritten) {
      WriteBytes(settings + ".0001.new~", "[Display]\r\nScreenW");
    }
    WriteBytes(settings + ".saving~", c.marker);
    WriteBytes(Path("other.ini"), "mine");

    platform_.FinishInterruptedSave(settings);
    EXPECT_EQ(ReadBytes(settings).value_or(""), kSettings);
    const SaveResult result =
        platform_.WriteProfileStrings({{"Audio", "Subtitles", "1"}}, settings);

    EXPECT_EQ(result.reason, c.reason);
    EXPECT_EQ(ReadBytes(Path("other.ini")), "mine");
    if (*c.reason != '\0') {
      EXPECT_EQ(Leftovers(settings).size(), 3u);
      continue;
    }
    EXPECT_EQ(ReadBytes(settings).value_or("").find("Gamma=4"), kSettings.find("Gamma=4"));
    EXPECT_EQ(platform_.ReadProfileString("Audio", "Subtitles", "", 255, settings), "1");
    EXPECT_EQ(Leftovers(settings), std::vector<std::string>{});
  }
}

// Longer paths than the system's profile and process functions take are
// refused with a message before any of them is called (it is what crashed);
// up to the limit, everything works.
TEST_F(WindowsPlatformTest, PathsTooLongForTheSystemAreRefusedBeforeItIsCalled) {
  constexpr std::size_t kLongestSettings = MAX_PATH - 1 - 10;  // room for ".1a2b.new~"
  const std::string folder = Path("");
  const std::string longest =
      folder + std::string(kLongestSettings - 4 - Wide(folder).size(), 'd') + "\\z.i";
  // Only the long-path prefix makes a folder this long.
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + Wide(WindowsParentFolder(longest))).c_str(), nullptr));
  const SaveResult saved = platform_.WriteProfileStrings({{"Audio", "Subtitles", "1"}}, longest);
  EXPECT_TRUE(saved.saved) << saved.reason;
  EXPECT_EQ(platform_.ReadProfileString("Audio", "Subtitles", "", 255, longest), "1");

  EXPECT_EQ(platform_.WriteProfileStrings({{"Audio", "Subtitles", "1"}}, longest + "n").reason,
            "its path is 250 characters long, and Windows' profile functions take at most 249 "
            "here");
  const std::string deep = folder + std::string(3000, 'd') + "\\zephran.ini";
  EXPECT_EQ(platform_.ReadProfileString("Audio", "Subtitles", "none", 255, deep), "none");
  EXPECT_FALSE(platform_.WriteProfileStrings({{"Audio", "Subtitles", "1"}}, deep).saved);
  EXPECT_EQ(platform_.FirstDirEntry(deep, kAttrAny), "");
  platform_.SetNormalAttributes(deep);
  const StartResult start =
      platform_.StartProgram({deep + ".exe", {}}, WindowStyle::MinimizedWithFocus);
  EXPECT_FALSE(start.started);
  EXPECT_NE(start.error.find("characters long, and Windows starts programs from paths of at most "
                             "259"),
            std::string::npos)
      << start.error;
}

// Names the ANSI code page cannot spell (Greek on a Western system) reach
// their files, and the values keep the game's single bytes.
TEST_F(WindowsPlatformTest, ReachesFilesWhateverTheirNames) {
  const std::string game = Folder("Παιχνίδια");
  File("Παιχνίδια\\Σώσε.nam", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(platform_.FirstDirEntry(game + "\\*.nam", 0), "Σώσε.nam");

  const std::string settings = File("Παιχνίδια\\zephran.ini", FILE_ATTRIBUTE_READONLY);
  platform_.SetNormalAttributes(settings);
  EXPECT_EQ(Attributes(settings) & FILE_ATTRIBUTE_READONLY, 0u);
  const SaveResult saved =
      platform_.WriteProfileStrings({{"Display", "ScreenWidth", "640"}}, settings);
  ASSERT_TRUE(saved.saved) << saved.reason;
  EXPECT_TRUE(platform_.WriteProfileString("Player", "Name", "Z\xE9phran", settings));
  EXPECT_EQ(platform_.ReadProfileString("Display", "ScreenWidth", "", 255, settings), "640");
  EXPECT_EQ(platform_.ReadProfileString("Player", "Name", "", 255, settings), "Z\xE9phran");
  EXPECT_NE(ReadBytes(settings).value_or("").find("Name=Z\xE9phran\r\n"), std::string::npos);
}

TEST_F(WindowsPlatformTest, ProgramFolderHoldsTheTestProgram) {
  const std::string folder = platform_.ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_NE(Attributes(folder + "\\platform_tests.exe"), INVALID_FILE_ATTRIBUTES) << folder;
}

TEST_F(WindowsPlatformTest, TextViewerIsNotepadFromTheWindowsFolder) {
  const CommandLine command = platform_.TextViewerCommand("C:\\Games\\ZP\\readme.txt");
  EXPECT_TRUE(command.program.ends_with("\\Notepad.exe")) << command.program;
  EXPECT_NE(Attributes(command.program), INVALID_FILE_ATTRIBUTES) << command.program;
  EXPECT_EQ(command.arguments, std::vector<std::string>{"C:\\Games\\ZP\\readme.txt"});
}

// Words that trip naive quoting: blanks, quotes, backslashes before quotes
// and at the end, empty words.
const std::vector<std::string>& AwkwardArguments() {
  static const std::vector<std::string> arguments = {
      "plain",          "two words",  "say \"hi\"",     "",        "trailing\\",
      "C:\\My Games\\", "a\\\"b",     "a\\\\\"b c",     "\"",      "\\\\",
      "tab\there",      "\"quoted\"", "back\\slash in", "x\\\\ y", "end\\\\"};
  return arguments;
}

std::vector<std::string> SplitLikeWindows(const std::string& line) {
  const int wide_length = MultiByteToWideChar(CP_ACP, 0, line.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, line.c_str(), -1, wide.data(), wide_length);
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(wide.c_str(), &count);
  std::vector<std::string> result;
  for (int i = 0; i < count; ++i) {
    std::string word(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, words[i], -1, nullptr,
                                                                  0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, words[i], -1, word.data(), static_cast<int>(word.size()),
                        nullptr, nullptr);
    word.pop_back();  // the terminator
    result.push_back(word);
  }
  LocalFree(words);
  return result;
}

TEST(QuoteWindowsCommandLineOnWindows, SplitsBackIntoTheSameWords) {
  for (const std::string program : {"C:\\Games\\ZP\\ZP1.EXE", "C:\\My Games\\ZP\\ZP1.EXE"}) {
    const CommandLine command{program, AwkwardArguments()};
    std::vector<std::string> expected = {program};
    expected.insert(expected.end(), command.arguments.begin(), command.arguments.end());
    EXPECT_EQ(SplitLikeWindows(QuoteWindowsCommandLine(command)), expected)
        << QuoteWindowsCommandLine(command);
  }
}

struct LaunchReport {
  std::string folder;
  std::string show_window;
  std::string uses_show_window;
  std::string program_folder;
  std::string command_line;
  std::vector<std::string> arguments;
};

// Waits for the stand-in game's report (see tests/windows/launch_reporter.cpp).
std::optional<LaunchReport> AwaitReport(const std::string& folder) {
  const std::string path = folder + "\\launch_report.bin";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::optional<std::string> bytes;
  while (!(bytes = ReadBytes(path)) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!bytes) {
    return std::nullopt;
  }
  std::vector<std::string> fields;
  for (std::size_t begin = 0, end = 0; begin < bytes->size(); begin = end + 1) {
    end = bytes->find('\0', begin);
    fields.push_back(bytes->substr(begin, end - begin));
  }
  if (fields.size() < 5) {
    return std::nullopt;
  }
  return LaunchReport{fields[0], fields[1],
                      fields[2], fields[3],
                      fields[4], std::vector<std::string>(fields.begin() + 5, fields.end())};
}

class StartProgramTest : public WindowsPlatformTest {
 protected:
  // The stand-in game, copied where names have spaces and letters that no
  // Western code page has.
  std::string InstallReporter() {
    game_folder_ = Folder("My Games Ζέφυρος");
    const std::string program = game_folder_ + "\\launch reporter.exe";
    const std::string built = platform_.ProgramFolder() + "\\launch_reporter.exe";
    EXPECT_TRUE(CopyFileW(Wide(built).c_str(), Wide(program).c_str(), FALSE)) << built;
    return program;
  }

  std::string game_folder_;
};

TEST_F(StartProgramTest, PassesEveryArgumentWholeAndRunsInTheProgramsFolder) {
  const std::string program = InstallReporter();
  const StartResult result =
      platform_.StartProgram({program, AwkwardArguments()}, WindowStyle::MinimizedWithFocus);
  ASSERT_TRUE(result.started) << result.error;

  const std::optional<LaunchReport> report = AwaitReport(game_folder_);
  ASSERT_TRUE(report) << "the program left no report";
  EXPECT_EQ(report->arguments, AwkwardArguments()) << report->command_line;
  EXPECT_EQ(report->folder, game_folder_);
  EXPECT_EQ(report->program_folder, game_folder_);
  EXPECT_EQ(report->uses_show_window, std::to_string(STARTF_USESHOWWINDOW));
  EXPECT_EQ(report->show_window, std::to_string(SW_SHOWMINIMIZED));
}

TEST_F(StartProgramTest, ShowsANormalWindowWhenAsked) {
  const std::string program = InstallReporter();
  ASSERT_TRUE(
      platform_.StartProgram({program, {"load_game", "slot_3"}}, WindowStyle::Normal).started);
  const std::optional<LaunchReport> report = AwaitReport(game_folder_);
  ASSERT_TRUE(report) << "the program left no report";
  EXPECT_EQ(report->arguments, (std::vector<std::string>{"load_game", "slot_3"}));
  EXPECT_EQ(report->show_window, std::to_string(SW_SHOWNORMAL));
}

TEST_F(StartProgramTest, NamesAMissingProgramAndSaysWhy) {
  const std::string program = Path("no such folder\\ZP1.EXE");
  const StartResult result = platform_.StartProgram({program, {}}, WindowStyle::Normal);
  EXPECT_FALSE(result.started);
  const std::string prefix = "Cannot start " + program + ": ";
  ASSERT_TRUE(result.error.starts_with(prefix)) << result.error;
  const std::string reason = result.error.substr(prefix.size());
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
}

TEST_F(StartProgramTest, EndProgramExitsAtOnceWithOutputFlushed) {
  const std::string program = platform_.ProgramFolder() + "\\launch_reporter.exe";
  const std::string output = Path("end.txt");
  std::string line = QuoteWindowsCommandLine({program, {"--end", output}});
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exit_code, 0u) << "3 means EndProgram returned";
  EXPECT_EQ(ReadBytes(output).value_or("").rfind("written before the end", 0), 0u);
}

}  // namespace
}  // namespace zephran::platform
