#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/native_platform.h"
#include "tests/ui/recording_platform.h"
#include "ui/main_page.h"

using zephran::ui::MainPage;

namespace {

namespace zp = zephran::platform;

using zephran::ui::testing::RecordingPlatform;

}  // namespace

class MainPageBehaviourTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void startUpShowsTheSettingsAndSlots();
  void focusStartsOnWindowedMode();
  void buttonsLightUpAsAPair();
  void newGameWritesAndStarts();
  void keyboardLaunchesOnlyOnItsChords();

 private:
  void WriteFile(const QString& relative, const QByteArray& content = {});
  QByteArray ReadFile(const QString& relative) const;
  void StartUp();

  std::unique_ptr<QTemporaryDir> folder_;
  std::unique_ptr<RecordingPlatform> platform_;
  std::unique_ptr<MainPage> page_;
};

void MainPageBehaviourTest::init() {
  folder_ = std::make_unique<QTemporaryDir>();
  QVERIFY(folder_->isValid());
  platform_ = std::make_unique<RecordingPlatform>(folder_->path().toStdString());
}

void MainPageBehaviourTest::cleanup() {
  page_.reset();
  platform_.reset();
  folder_.reset();
}

void MainPageBehaviourTest::WriteFile(const QString& relative, const QByteArray& content) {
  const QString path = folder_->filePath(relative);
  QVERIFY(QDir().mkpath(QFileInfo(path).path()));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(content);
}

QByteArray MainPageBehaviourTest::ReadFile(const QString& relative) const {
  QFile file(folder_->filePath(relative));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void MainPageBehaviourTest::StartUp() {
  page_ = std::make_unique<MainPage>(*platform_, *platform_);
  page_->Load();
  page_->ShowCentred();
  QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
  QApplication::setActiveWindow(page_.get());
  QTRY_COMPARE(QApplication::activeWindow(), page_.get());
}

void MainPageBehaviourTest::startUpShowsTheSettingsAndSlots() {
  // One level above the game, with the names a copy from a Windows disc has.
  WriteFile("zp/ZEPHRAN.INI",
            "[Display]\r\nScreenWidth=512\r\nFullScreen=1\r\nCinemaScope=1\r\nBitsPerPixel=32\r\n"
            "[Audio]\r\nSubtitles=0\r\n");
  WriteFile("zp/SaveGames/Slot2/Start.nam");
  WriteFile("zp/SaveGames/slot5/Dash-.nam");
  WriteFile("zp/SaveGames/SLOT6/notes.txt");
  StartUp();

  QVERIFY(platform_->messages.empty());
  QCOMPARE(page_->ListChoixResol->currentText(), QStringLiteral("512x384"));
  QCOMPARE(page_->ModeFenet->Value(), 0);
  QCOMPARE(page_->ModeCinema->Value(), 1);
  QCOMPARE(page_->ModeSousT->Value(), 0);
  QCOMPARE(page_->ListCol->currentText(), QStringLiteral("32 bits"));
  QStringList items;
  for (int i = 0; i < page_->ListSlot->count(); ++i) {
    items << page_->ListSlot->itemText(i);
  }
  QCOMPARE(items, (QStringList{"1 ----------", "2 - Start", "3 ----------", "4 ----------",
                               "5 - Dash-", "6 ----------", "7 ----------", "8 ----------"}));
  QCOMPARE(page_->ListSlot->currentIndex(), 0);

  QCOMPARE(page_->State().GameDir, folder_->filePath("zp/").toStdString());

  // A player's pick with the keyboard reaches the list's handler.
  QTest::keyClick(page_->ListChoixResol, Qt::Key_Down);
  QCOMPARE(page_->State().GameExe, std::string("ZP2.EXE"));
}

void MainPageBehaviourTest::focusStartsOnWindowedMode() {
  WriteFile("zephran.ini", "[Display]\r\nScreenWidth=640\r\n");
  StartUp();
  QCOMPARE(QApplication::focusWidget(), page_->ModeFenet);
}

void MainPageBehaviourTest::buttonsLightUpAsAPair() {
  WriteFile("zephran.ini");
  StartUp();
  const auto colour = [](const zephran::ui::TextLabel* label) { return label->TextColour(); };

  QTest::mouseMove(page_.get(), {120, 236});  // "New game"
  QCOMPARE(colour(page_->BoutLancerNouveau), QColor(Qt::white));
  QCOMPARE(colour(page_->BoutLoad), QColor(Qt::black));
  QTest::mouseMove(page_.get(), {90, 276});  // straight onto "Load :"
  QCOMPARE(colour(page_->BoutLoad), QColor(Qt::white));
  QCOMPARE(colour(page_->BoutLancerNouveau), QColor(Qt::black));
  QTest::mouseMove(page_.get(), {200, 275});  // the slot list changes nothing
  QTest::mouseMove(page_.get(), {45, 75});    // nor does a check box
  QCOMPARE(colour(page_->BoutLoad), QColor(Qt::white));
  QTest::mouseMove(page_.get(), {280, 150});  // the bare background
  QCOMPARE(colour(page_->BoutLoad), QColor(Qt::black));
  QCOMPARE(colour(page_->BoutLancerNouveau), QColor(Qt::black));
}

void MainPageBehaviourTest::newGameWritesAndStarts() {
  WriteFile("zephran.ini", "[Display]\r\nScreenWidth=320\r\nFullScreen=1\r\n");
  StartUp();
  QTest::mouseClick(page_->ModeFenet, Qt::LeftButton);

  QTest::mouseClick(page_->BoutLancerNouveau, Qt::LeftButton, {}, {20, 25});

  QVERIFY(platform_->messages.empty());
  QCOMPARE(platform_->started.size(), std::size_t{1});
  QCOMPARE(QString::fromStdString(platform_->started[0].Text()),
           folder_->filePath("ZP3.EXE") + " game_nextframe");
  QVERIFY(platform_->ended);
  QCOMPARE(ReadFile("zephran.ini"),
           QByteArray("[Display]\r\nScreenWidth=320\r\nFullScreen=0\r\nScreenHeight=240\r\n"
                      "VideoWidth=400\r\nVideoHeight=300\r\nCinemaScope=0\r\nBitsPerPixel=16\r\n"
                      "[Audio]\r\nSubtitles=0\r\n"));
}

void MainPageBehaviourTest::keyboardLaunchesOnlyOnItsChords() {
  WriteFile("zephran.ini", "[Display]\r\nScreenWidth=640\r\n");
  WriteFile("readme.txt");
  StartUp();

  // Going round the Tab cycle, confirming at every stop, launches nothing.
  for (int stop = 0; stop < 6; ++stop) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QVERIFY(platform_->messages.empty() && platform_->started.empty());

  QTest::keyClick(page_.get(), Qt::Key_L, Qt::ControlModifier);
  QCOMPARE(platform_->messages,
           std::vector<std::string>{"Caution !|The game you've selected is empty."});
  // F1 opens the read-me as the link does, and the window stays.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  QCOMPARE(platform_->started.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(platform_->started[0].Text()).endsWith("readme.txt"));
  QVERIFY(!platform_->ended);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(platform_->started.size(), std::size_t{2});
  QCOMPARE(QString::fromStdString(platform_->started[1].Text()),
           folder_->filePath("ZP1.EXE") + " game_nextframe");
}

int RunMainPageBehaviourTest(int argc, char** argv) {
  MainPageBehaviourTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_page_behaviour_test.moc"
