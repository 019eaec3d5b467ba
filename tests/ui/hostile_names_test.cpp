#include <QAbstractItemView>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/native_platform.h"
#include "tests/ui/recording_platform.h"
#include "ui/main_page.h"

using zephran::ui::MainPage;

namespace {

namespace fs = std::filesystem;
namespace zp = zephran::platform;

using zephran::ui::testing::RecordingPlatform;

void Touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary).put('\0');
}

// Qt cannot name files whose names are not UTF-8, so QTemporaryDir cannot
// remove them; this does, before it tries.
struct RemovedAtEnd {
  fs::path folder;
  ~RemovedAtEnd() {
    std::error_code error;
    fs::remove_all(folder, error);
  }
};

}  // namespace

// Save names are bytes on Linux and need not be UTF-8; the window must show
// them as best it can, draw them and still load them.
class HostileNamesTest : public QObject {
  Q_OBJECT

 private slots:
  void saveNamesThatAreNotUtf8ShowAndLoad();
};

void HostileNamesTest::saveNamesThatAreNotUtf8ShowAndLoad() {
  const QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const fs::path game = folder.path().toStdString();
  const RemovedAtEnd removed{game};
  std::ofstream(game / "zephran.ini", std::ios::binary) << "[Display]\r\nScreenWidth=640\r\n";
  Touch(game / "savegames/slot1/\xFF\xFE caf\xE9.nam");
  Touch(game / "savegames/slot2/\xC3(.nam");
  // As long as a name may be (255 bytes), ending inside a character.
  Touch(game / "savegames/slot3" / (std::string(249, 'n') + "\xE2\x82.nam"));

  RecordingPlatform platform(game.string());
  MainPage page(platform, platform);
  page.Load();
  page.ShowCentred();
  QVERIFY(QTest::qWaitForWindowExposed(&page));

  QVERIFY(platform.messages.empty());
  QCOMPARE(page.ListSlot->count(), 8);
  QVERIFY(page.ListSlot->itemText(0).startsWith(QStringLiteral("1 - ")));
  QVERIFY(page.ListSlot->itemText(0).contains(QChar::ReplacementCharacter));
  QVERIFY(page.ListSlot->itemText(0).contains(QStringLiteral(" caf")));
  QVERIFY(page.ListSlot->itemText(2).startsWith(QStringLiteral("3 - nnnn")));
  QCOMPARE(page.ListSlot->itemText(3), QStringLiteral("4 ----------"));

  // Drawn in the closed box and in the open list.
  for (int slot = 0; slot < 3; ++slot) {
    page.ListSlot->setCurrentIndex(slot);
    QVERIFY(!page.grab().isNull());
  }
  page.ListSlot->showPopup();
  QVERIFY(!page.ListSlot->view()->grab().isNull());
  page.ListSlot->hidePopup();

  page.ListSlot->setCurrentIndex(0);
  QTest::mouseClick(page.BoutLoad, Qt::LeftButton);
  QVERIFY(platform.messages.empty());
  QCOMPARE(platform.started.size(), std::size_t{1});
  QCOMPARE(platform.started[0].arguments, (std::vector<std::string>{"load_game", "slot_1"}));
}

int RunHostileNamesTest(int argc, char** argv) {
  HostileNamesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "hostile_names_test.moc"
