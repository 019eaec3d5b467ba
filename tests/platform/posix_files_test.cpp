#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/native_platform.h"
#include "tests/platform/posix_temp_folder.h"

namespace zephran::platform {
namespace {

namespace fs = std::filesystem;

using TestPlatform = platform::NativePlatform;

class PosixFilesTest : public test_support::TempFolderTest {
 protected:
  std::string Read(const std::string& relative) const { return ReadFile(root_ / relative); }

  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }

  // Names and bytes of everything under the root, to show that nothing moved.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
      const std::string name = entry.path().lexically_relative(root_).string();
      files[name] = entry.is_regular_file() ? Read(name) : "<folder>";
    }
    return files;
  }

  TestPlatform platform_;
};

constexpr char kSettings[] = "[Display]\r\nScreenWidth=640\r\n[Audio]\r\nVolume=7\r\n";

TEST_F(PosixFilesTest, ReadsProfileValuesThroughAnySpellingOfTheName) {
  Write("ZEPHRAN.INI", kSettings);
  Write("quoted.ini", "[Display]\r\nQuoted=\"1234\"\r\n");
  Write("folder.ini/x", "");
  struct Case {
    std::string file;
    std::string key;
    std::size_t capacity;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"zephran.ini", "ScreenWidth", 256, "640"},
      {"ZEPHRAN.ini", "ScreenWidth", 256, "640"},
      {"zephran.ini", "ScreenWidth", 3, "64"},
      {"zephran.ini", "ScreenWidth", 1, ""},
      {"zephran.ini", "ScreenWidth", 0, ""},
      // A quoted value that exactly fills the buffer loses one character
      // more, as the game's reader cuts it.
      {"quoted.ini", "Quoted", 5, "123"},
      {"quoted.ini", "Quoted", 6, "1234"},
      {"zephran.ini", "Missing", 256, "default"},
      {"zephran.ini", "Missing", 4, "def"},
      {"missing.ini", "ScreenWidth", 256, "default"},
      {"missing/zephran.ini", "ScreenWidth", 256, "default"},
      {"folder.ini", "ScreenWidth", 256, "default"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform_.ReadProfileString("Display", c.key, "default", c.capacity, Path(c.file)),
              c.expected)
        << c.file << " " << c.key << " " << c.capacity;
  }
}

TEST_F(PosixFilesTest, WritesTheExistingFileWhateverTheSpelling) {
  Write("ZEPHRAN.INI", kSettings, 0640);
  ASSERT_TRUE(platform_.WriteProfileString("Display", "ScreenWidth", "800", Path("zephran.ini")));
  ASSERT_TRUE(platform_.WriteProfileString("Audio", "Volume", "3", Path("ZEPHRAN.ini")));
  EXPECT_EQ(Read("ZEPHRAN.INI"), "[Display]\r\nScreenWidth=800\r\n[Audio]\r\nVolume=3\r\n");
  EXPECT_EQ(Snapshot().size(), 1u);
  EXPECT_EQ(fs::status(root_ / "ZEPHRAN.INI").permissions(), fs::perms(0640));
}

TEST_F(PosixFilesTest, CreatesAMissingFileUnderTheGivenName) {
  fs::create_directories(root_ / "Game");
  ASSERT_TRUE(
      platform_.WriteProfileString("Display", "ScreenWidth", "640", Path("game/Zephran.ini")));
  const std::string bytes = Read("Game/Zephran.ini");
  EXPECT_NE(bytes.find("ScreenWidth=640\r\n"), std::string::npos) << bytes;
  EXPECT_EQ(
      platform_.ReadProfileString("Display", "ScreenWidth", "", 256, Path("GAME/ZEPHRAN.INI")),
      "640");
}

TEST_F(PosixFilesTest, RefusedWritesLeaveEverythingAsItWas) {
  Write("readonly.ini", kSettings, 0444);
  Write("zephran.ini", kSettings);
  struct Case {
    std::string file;
    std::string key;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"readonly.ini", "ScreenWidth", "800"},
      {"missing/zephran.ini", "ScreenWidth", "800"},
      // Values the profile format cannot hold are refused by its engine.
      {"zephran.ini", "ScreenWidth", "800\r\nFullScreen=1"},
  };
  const std::map<std::string, std::string> before = Snapshot();
  for (const Case& c : cases) {
    EXPECT_FALSE(platform_.WriteProfileString("Display", c.key, c.value, Path(c.file))) << c.file;
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(PosixFilesTest, FirstDirEntryFollowsTheMaskAndListingOrder) {
  Write("apple.txt", "");
  Write("Banana.TXT", "");
  Write("Same.txt", "");
  Write("same.txt", "");
  Write("ro.dat", "", 0444);
  Write(".hidden", "");
  Write("SaveGames/Slot1/Hero.NAM", "");
  fs::create_directories(root_ / "Sub");
  ASSERT_EQ(::mkfifo((root_ / "pipe").c_str(), 0644), 0);

  struct Case {
    std::string pattern;
    unsigned mask;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"apple.txt", 0, "apple.txt"},
      {"APPLE.TXT", 0, "apple.txt"},
      {"ro.dat", 0, "ro.dat"},
      {".hidden", 0, ""},
      {".hidden", kAttrHidden, ".hidden"},
      {"sub", 0, ""},
      {"sub", kAttrDirectory, "Sub"},
      {"pipe", kAttrAny & ~kAttrSystem, ""},
      {"pipe", kAttrSystem, "pipe"},
      {"missing.txt", kAttrAny, ""},
      {"sub/", 0, "."},
      {"SUB/", kAttrDirectory, "."},
      {"missing/", kAttrAny, ""},
      {"apple.txt/", kAttrAny, ""},
      {"*.txt", 0, "apple.txt"},
      {"b*", 0, "Banana.TXT"},
      {"same.*", 0, "Same.txt"},
      {"*", 0, "apple.txt"},
      {"*", kAttrHidden, ".hidden"},
      {"*", kAttrDirectory, "."},
      {"s?b", kAttrDirectory, "Sub"},
      {"*.dat", 0, "ro.dat"},
      {"*.nam", kAttrAny, ""},
      {"savegames/slot1/*.nam", 0, "Hero.NAM"},
      {"missing/*", kAttrAny, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform_.FirstDirEntry(Path(c.pattern), c.mask), c.expected)
        << c.pattern << " mask " << c.mask;
  }
  EXPECT_EQ(platform_.FirstDirEntry("", kAttrAny), "");
}

TEST_F(PosixFilesTest, SetNormalAttributesMakesAFileWritableByItsOwner) {
  Write("ZEPHRAN.INI", kSettings, 0444);
  platform_.SetNormalAttributes(Path("zephran.ini"));
  EXPECT_EQ(fs::status(root_ / "ZEPHRAN.INI").permissions(), fs::perms(0644));

  platform_.SetNormalAttributes(Path("missing.ini"));
  platform_.SetNormalAttributes(Path("missing/missing.ini"));
  EXPECT_EQ(Snapshot().size(), 1u);

  // A link may lead out of the installation: it is not followed.
  Write("elsewhere/private.ini", kSettings, 0400);
  fs::create_directory(root_ / "game");
  fs::create_symlink("../elsewhere/private.ini", root_ / "game/zephran.ini");
  platform_.SetNormalAttributes(Path("game/ZEPHRAN.ini"));
  EXPECT_EQ(fs::status(root_ / "elsewhere/private.ini").permissions(), fs::perms(0400));
}

// Files are read in blocks; a key beyond the first block must read and
// rewrite like any other.
TEST_F(PosixFilesTest, ReadsAndRewritesFilesLargerThanOneReadBlock) {
  std::string big = "[Display]\r\n";
  while (big.size() < 200'000) {
    big += "; filler line of a moderate length\r\n";
  }
  big += "[Audio]\r\nSubtitles=1\r\n";
  Write("zephran.ini", big);

  EXPECT_EQ(platform_.ReadProfileString("Audio", "Subtitles", "", 255, Path("zephran.ini")), "1");
  ASSERT_TRUE(platform_.WriteProfileString("Audio", "Subtitles", "0", Path("zephran.ini")));
  EXPECT_EQ(Read("zephran.ini"), big.substr(0, big.size() - 3) + "0\r\n");
}

}  // namespace
}  // namespace zephran::platform
