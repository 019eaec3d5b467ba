#include "platform/save_marker.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zephran::platform {
namespace {

constexpr std::string_view kStart = "Zephran Loader+ save in progress\r\nfile=zephran.ini\r\n";

// What a marker may make a launcher touch: the settings file it stands
// beside, and that file's own working files, nothing else.
TEST(SaveMarker, NamesOnlyItsOwnFileAndThatFilesWorkingFiles) {
  struct Row {
    const char* name;
    std::string bytes;
    std::optional<std::string> rewriting;  // nullopt: not a marker of ours
  };
  const std::string start(kStart);
  for (const Row& row : std::initializer_list<Row>{
           {"a dead in-place save", start + "rewriting=zephran.ini.1a2b.old~\r\n",
            "zephran.ini.1a2b.old~"},
           {"the later of two lines",
            start + "rewriting=zephran.ini.0001.old~\r\n" + "rewriting=zephran.ini.0002.old~\r\n",
            "zephran.ini.0002.old~"},
           {"a line the kill cut short", start + "rewriting=zephran.ini.1a2b.ol", ""},
           {"empty, its maker killed at once", "", ""},
           {"another file",
            "Zephran Loader+ save in progress\r\nfile=ZP1.EXE\r\n"
            "rewriting=ZP1.EXE.0000.old~\r\n",
            std::nullopt},
           {"a copy of another file", start + "rewriting=ZP1.EXE.0000.old~\r\n", std::nullopt},
           {"a copy elsewhere", start + "rewriting=../zephran.ini.1a2b.old~\r\n", std::nullopt},
           {"a copy in a folder", start + "copy=zephran.ini.d/x.new~\r\n", std::nullopt},
           {"a copy of any name", start + "copy=victim\r\n", std::nullopt},
           {"the file itself as its copy", start + "backup=zephran.ini\r\n", std::nullopt},
           {"a file in another folder",
            "Zephran Loader+ save in progress\r\nfile=../zephran.ini\r\n", std::nullopt},
           {"someone else's text", "[Display]\r\n", std::nullopt},
           {"an unknown line", start + "run=ZP1.EXE\r\n", std::nullopt}}) {
    SCOPED_TRACE(row.name);
    const std::optional<SaveMarkerRecord> record = ParseSaveMarker(row.bytes, "zephran.ini");
    ASSERT_EQ(record.has_value(), row.rewriting.has_value());
    if (record) {
      EXPECT_EQ(record->rewriting, *row.rewriting);
    }
  }
  EXPECT_EQ(MarkedFileName("zephran.ini.saving~"), "zephran.ini");
  EXPECT_EQ(MarkedFileName(".saving~"), "");
  EXPECT_EQ(MarkedFileName("zephran.ini"), "");
}

}  // namespace
}  // namespace zephran::platform
