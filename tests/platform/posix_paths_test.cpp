#include "platform/posix_paths.h"
#include "tests/platform/posix_temp_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace zephran::platform {
namespace {

namespace fs = std::filesystem;

class PosixPathsTest : public test_support::TempFolderTest {
 protected:
  void Touch(const fs::path& relative, fs::perms perms = fs::perms(0644)) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << "x";
    fs::permissions(root_ / relative, perms);
  }
};

TEST_F(PosixPathsTest, ResolvesEachMissingComponentWithoutRegardToCase) {
  Touch("ZEPHRAN.INI");
  Touch("SaveGames/Slot1/Hero.NAM");
  Touch("DATA.TXT");
  Touch("Data.txt");
  Touch("data.TXT");
  Touch("same.txt");
  Touch("Same.txt");

  struct Case {
    std::string given;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"zephran.ini", "ZEPHRAN.INI"},
      {"ZEPHRAN.ini", "ZEPHRAN.INI"},
      {"savegames/slot1/hero.nam", "SaveGames/Slot1/Hero.NAM"},
      // An exact match wins over a case-insensitive one.
      {"same.txt", "same.txt"},
      {"Same.txt", "Same.txt"},
      // Several candidates: the smallest by bytes, whatever the listing order.
      {"data.txt", "DATA.TXT"},
      {"SAME.TXT", "Same.txt"},
      // A missing component keeps its spelling, and so does all below it.
      {"savegames/New.ini", "SaveGames/New.ini"},
      {"savegames/SLOT9/Hero.nam", "SaveGames/SLOT9/Hero.nam"},
      {"savegames/", "SaveGames/"},
      {"savegames/./slot1/../slot1", "SaveGames/./Slot1/../Slot1"},
      // A file cannot hold anything: no lookup below it.
      {"zephran.ini/x", "ZEPHRAN.INI/x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveCaseInsensitive(root_ / c.given), root_ / c.expected) << c.given;
  }
}

TEST_F(PosixPathsTest, ResolvesRelativePathsFromTheWorkingFolder) {
  Touch("SaveGames/Slot1/Hero.NAM");
  const fs::path previous = fs::current_path();
  fs::current_path(root_);
  const fs::path resolved = ResolveCaseInsensitive("savegames/slot1/hero.nam");
  fs::current_path(previous);
  EXPECT_EQ(resolved, fs::path("SaveGames/Slot1/Hero.NAM"));
}

TEST(PosixWildcardsTest, MatchesLikeWindowsWithoutRegardToCase) {
  struct Case {
    std::string pattern;
    std::string name;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"*", "anything", true},
      {"*", ".hidden", true},
      {"*.nam", "Hero.NAM", true},
      {"*.nam", "Hero.name", false},
      {"*.nam", "nam", false},
      {"h?ro.*", "HERO.nam", true},
      {"?", "", false},
      {"slot?", "slot10", false},
      {"*.*", "README", true},
      {"readme.*", "readme", true},
      {"*a*b", "xaXbYb", true},
      {"*a*b", "aXbYc", false},
      {"abc", "ab", false},
      {"ab", "abc", false},
      {"**?", "a", true},
      {"", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcards(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
  }
  EXPECT_TRUE(HasWildcards("dir/*.nam"));
  EXPECT_TRUE(HasWildcards("slot?"));
  EXPECT_FALSE(HasWildcards("zephran.ini"));
}

TEST(PosixListingOrderTest, SortsWithoutRegardToCaseThenByBytes) {
  std::vector<std::string> names = {"beta", "alpha", "Zed", "ALPHA", "_x", "Alpha"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return ComesBeforeInListing(a, b); });
  EXPECT_EQ(names, (std::vector<std::string>{"_x", "ALPHA", "Alpha", "alpha", "beta", "Zed"}));
}

TEST_F(PosixPathsTest, FindsExecutablesOnThePathOrByPath) {
  Touch("bin/tool", fs::perms(0755));
  Touch("bin/notes", fs::perms(0644));
  const char* saved = std::getenv("PATH");
  const std::string previous = saved != nullptr ? saved : "";
  ::setenv("PATH", ((root_ / "empty").string() + ":" + (root_ / "bin").string()).c_str(), 1);

  const std::optional<fs::path> by_name = FindExecutable("tool");
  const std::optional<fs::path> not_executable = FindExecutable("notes");
  const std::optional<fs::path> missing = FindExecutable("missing");
  ::setenv("PATH", previous.c_str(), 1);

  EXPECT_EQ(by_name, root_ / "bin/tool");
  EXPECT_EQ(not_executable, std::nullopt);
  EXPECT_EQ(missing, std::nullopt);
  EXPECT_EQ(FindExecutable((root_ / "bin/tool").string()), root_ / "bin/tool");
  EXPECT_EQ(FindExecutable((root_ / "bin/notes").string()), std::nullopt);
  EXPECT_EQ(FindExecutable(""), std::nullopt);
}

}  // namespace
}  // namespace zephran::platform
