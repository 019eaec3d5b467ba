#include <SDL.h>
#include <signal.h>

#include <functional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "tests/ui/recording_platform.h"
#include "ui/main_page.h"
#include "ui/qt_window_services.h"
#include "ui/sdl_pad.h"

using zephran::ui::MainPage;
using zephran::ui::SdlPad;

namespace {

// The message boxes' titles, as they show.
void RecordTitles(zephran::ui::QtWindowServices& services, std::vector<std::string>& shown) {
  services.message_presenter = [&shown](std::string_view prompt, std::string_view title) {
    shown.emplace_back(title);
    zephran::ui::QtWindowServices::ShowMessageBox(prompt, title);
  };
}

// SDL's virtual pad, as a game controller with every button and axis.
SDL_VirtualJoystickDesc PadDescription() {
  SDL_VirtualJoystickDesc description{};
  description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  description.naxes = SDL_CONTROLLER_AXIS_MAX;
  description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  description.name = "Zephran test pad";
  return description;
}

// SDL's virtual pad is no device of the system's: SDL is started as if a pad
// were plugged in.
const SdlPad::Devices kVirtualPadOnly{[] { return true; }, {}};

}  // namespace

// SDL's own virtual pad, attached as a game controller while the window is
// open, drives the real SDL path into the window: the program's SDL is the
// one this test links, loaded once.
class SdlPadTest : public QObject {
  Q_OBJECT

 private slots:
  void aPadAloneLoadsAGameAnswersAMessageAndCloses();
  void aPadAloneAnswersTheMissingGamesMessage();
  void sdlWaitsForAPadToBePluggedIn();

 private:
  // A press and release, each seen by one read of the pads.
  void Press(SDL_GameControllerButton button);
  void Read();
  // Presses `button` once the message box is up.
  void AnswerWhenShown(SDL_GameControllerButton button);

  std::chrono::milliseconds now_{0};
  SDL_Joystick* joystick_ = nullptr;
  SdlPad* pad_ = nullptr;
};

void SdlPadTest::Read() {
  // Time moves on by a millisecond a read: nothing held repeats.
  now_ += std::chrono::milliseconds(1);
  pad_->Poll();
}

void SdlPadTest::Press(SDL_GameControllerButton button) {
  Read();
  SDL_JoystickSetVirtualButton(joystick_, button, SDL_PRESSED);
  Read();
  SDL_JoystickSetVirtualButton(joystick_, button, SDL_RELEASED);
  Read();
}

void SdlPadTest::AnswerWhenShown(SDL_GameControllerButton button) {
  QTimer::singleShot(0, this, [this, button] {
    if (QApplication::activeModalWidget() == nullptr) {
      AnswerWhenShown(button);
    } else {
      Press(button);
    }
  });
}

void SdlPadTest::aPadAloneLoadsAGameAnswersAMessageAndCloses() {
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  for (const auto& [name, content] : {std::pair{"zephran.ini", "[Display]\r\nScreenWidth=640\r\n"},
                                      std::pair{"savegames/slot2/Start.nam", ""}}) {
    QVERIFY(QDir().mkpath(QFileInfo(folder.filePath(name)).path()));
    QFile file(folder.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
  zephran::ui::testing::RecordingPlatform platform(folder.path().toStdString());
  zephran::ui::QtWindowServices services;
  std::vector<std::string> shown;
  RecordTitles(services, shown);
  MainPage page(platform, services);
  // SIGTERM and SIGINT end the launcher by default; SDL would take only a
  // signal left at its default, so for now the test's own handlers step
  // aside.
  struct sigaction test_handlers[2] = {};
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  QCOMPARE(sigaction(SIGTERM, &by_default, &test_handlers[0]), 0);
  QCOMPARE(sigaction(SIGINT, &by_default, &test_handlers[1]), 0);
  MainPage* target = &page;
  SdlPad pad([&target](zephran::window::PadAction action) { target->OnPad(action); },
             kVirtualPadOnly, [this] { return now_; });
  pad_ = &pad;
  page.Load();
  page.ShowCentred();
  QVERIFY(QTest::qWaitForWindowExposed(&page));
  QApplication::setActiveWindow(&page);
  QTRY_VERIFY(pad.Started());

  // SDL left the signals alone: they still end the launcher.
  struct sigaction after[2] = {};
  QCOMPARE(sigaction(SIGTERM, &test_handlers[0], &after[0]), 0);
  QCOMPARE(sigaction(SIGINT, &test_handlers[1], &after[1]), 0);
  QVERIFY(after[0].sa_handler == SIG_DFL);
  QVERIFY(after[1].sa_handler == SIG_DFL);

  // Plugged in now, with the window open.
  const SDL_VirtualJoystickDesc description = PadDescription();
  const int device = SDL_JoystickAttachVirtualEx(&description);
  QVERIFY2(device >= 0, SDL_GetError());
  joystick_ = SDL_JoystickOpen(device);
  QVERIFY(joystick_ != nullptr);
  Read();
  QCOMPARE(pad.PadCount(), 1);

  // From the windowed-mode box down to "Load :", lit as under the mouse.
  for (int i = 0; i < 5; ++i) {
    Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  }
  QCOMPARE(page.BoutLoad->TextColour(), QColor(Qt::white));
  // Slot 1 is empty: the message, answered with B, which closes nothing.
  AnswerWhenShown(SDL_CONTROLLER_BUTTON_B);
  Press(SDL_CONTROLLER_BUTTON_A);
  QCOMPARE(shown, std::vector<std::string>{"Caution !"});
  QVERIFY(page.isVisible());

  // The slot list, opened, walked and picked from.
  Press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  QCOMPARE(page.focusWidget(), page.ListSlot);
  Press(SDL_CONTROLLER_BUTTON_A);
  QVERIFY(page.ListSlot->PopupShown());
  Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  Press(SDL_CONTROLLER_BUTTON_A);
  QVERIFY(!page.ListSlot->PopupShown());
  QCOMPARE(page.ListSlot->currentIndex(), 1);

  // Back to "Load :" with the stick, and the game loads.
  Read();
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTX, -30000);
  Read();
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTX, 0);
  Read();
  Press(SDL_CONTROLLER_BUTTON_A);
  QCOMPARE(platform.started.size(), std::size_t{1});
  QCOMPARE(QString::fromStdString(platform.started[0].Text()),
           folder.filePath("ZP1.EXE") + " load_game slot_2");

  QVERIFY(!page.isVisible());

  // In a window opened again, B with nothing open closes it as its close
  // box does, starting nothing.
  MainPage again(platform, services);
  target = &again;
  again.Load();
  again.ShowCentred();
  QVERIFY(QTest::qWaitForWindowExposed(&again));
  QApplication::setActiveWindow(&again);
  Press(SDL_CONTROLLER_BUTTON_B);
  QVERIFY(!again.isVisible());
  QCOMPARE(platform.started.size(), std::size_t{1});

  SDL_JoystickClose(joystick_);
  SDL_JoystickDetachVirtual(device);
  Read();
  QCOMPARE(pad.PadCount(), 0);
}

// Without a game the first window on the screen is the message box, shown
// while the window loads: the pad, started by it, answers it.
void SdlPadTest::aPadAloneAnswersTheMissingGamesMessage() {
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  zephran::ui::testing::RecordingPlatform platform(folder.path().toStdString());
  zephran::ui::QtWindowServices services;
  std::vector<std::string> shown;
  RecordTitles(services, shown);
  MainPage page(platform, services);
  SdlPad pad([&page](zephran::window::PadAction action) { page.OnPad(action); }, kVirtualPadOnly,
             [this] { return now_; });
  pad_ = &pad;
  const SDL_VirtualJoystickDesc description = PadDescription();
  int device = -1;
  std::function<void()> answer_when_ready = [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr || !pad.Started()) {
      if (box != nullptr) {
        QApplication::setActiveWindow(box);
      }
      QTimer::singleShot(10, this, answer_when_ready);
      return;
    }
    device = SDL_JoystickAttachVirtualEx(&description);
    joystick_ = SDL_JoystickOpen(device);
    Read();
    Press(SDL_CONTROLLER_BUTTON_B);
  };
  QTimer::singleShot(0, this, answer_when_ready);
  // A box the pad did not answer fails the test rather than hang it.
  bool unanswered = false;
  QTimer::singleShot(std::chrono::seconds(60), this, [&unanswered] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      unanswered = true;
      box->close();
    }
  });
  page.Load();
  QVERIFY(!unanswered);
  QCOMPARE(shown, std::vector<std::string>{"Bad directory !"});
  QVERIFY(joystick_ != nullptr);
  QVERIFY(platform.started.empty());
  SDL_JoystickClose(joystick_);
  SDL_JoystickDetachVirtual(device);
}

void SdlPadTest::sdlWaitsForAPadToBePluggedIn() {
  QTemporaryDir device_folder;
  QVERIFY(device_folder.isValid());
  int asked = 0;
  bool plugged_in = false;
  SdlPad pad([](zephran::window::PadAction) {},
             {[&] {
                ++asked;
                return plugged_in;
              },
              device_folder.path()},
             [this] { return now_; });
  QWidget window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QApplication::setActiveWindow(&window);
  QTRY_VERIFY(asked > 0);
  QVERIFY(!pad.Started());

  plugged_in = true;
  QFile node(device_folder.filePath("event7"));
  QVERIFY(node.open(QIODevice::WriteOnly));
  QTRY_VERIFY(pad.Started());
}

int RunSdlPadTest(int argc, char** argv) {
  SdlPadTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "sdl_pad_test.moc"
