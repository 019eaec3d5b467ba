#include "window/gamepad.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"
#include "tests/window/fake_view.h"
#include "window/controller.h"

namespace zephran::window {
namespace {

using core::testing::FakePlatform;
using core::testing::Native;
using testing::FakeView;
using enum ControlId;
using std::chrono::milliseconds;

constexpr PadAction kUp = PadAction::kUp;
constexpr PadAction kDown = PadAction::kDown;
constexpr PadAction kLeft = PadAction::kLeft;
constexpr PadAction kRight = PadAction::kRight;
constexpr PadAction A = PadAction::kAccept;
constexpr PadAction B = PadAction::kBack;

TEST(PadNeighbourTest, EachDirectionFromEachStopFollowsTheLayout) {
  struct Row {
    ControlId from;
    std::optional<ControlId> up, down, left, right;
  };
  const std::nullopt_t stays = std::nullopt;
  const Row rows[] = {
      {Lien_txt, stays, ListChoixResol, stays, stays},
      {ListChoixResol, Lien_txt, ModeFenet, stays, stays},
      {ModeFenet, ListChoixResol, ModeCinema, stays, stays},
      {ModeCinema, ModeFenet, ModeSousT, stays, stays},
      {ModeSousT, ModeCinema, ListCol, stays, stays},
      {ListCol, ModeSousT, BoutLancerNouveau, stays, stays},
      {BoutLancerNouveau, ListCol, BoutLoad, stays, stays},
      {BoutLoad, BoutLancerNouveau, stays, stays, ListSlot},
      {ListSlot, BoutLancerNouveau, stays, BoutLoad, stays},
  };
  int stops = 0;
  for (const ControlDescription& control : MainPageDescription().controls) {
    stops += IsPadStop(control.id) ? 1 : 0;
  }
  EXPECT_EQ(stops, std::size(rows));
  for (const Row& row : rows) {
    const std::string from(Describe(row.from).name);
    EXPECT_TRUE(IsPadStop(row.from)) << from;
    EXPECT_EQ(PadNeighbour(row.from, kUp), row.up) << from << " up";
    EXPECT_EQ(PadNeighbour(row.from, kDown), row.down) << from << " down";
    EXPECT_EQ(PadNeighbour(row.from, kLeft), row.left) << from << " left";
    EXPECT_EQ(PadNeighbour(row.from, kRight), row.right) << from << " right";
  }
}

// The window's services for the controller, with a hook that runs while a
// message box is up, as a player's press would.
class Services : public core::WindowServices {
 public:
  explicit Services(FakePlatform& platform) : platform_(platform) {}
  void ShowMessage(std::string_view prompt, std::string_view title) override {
    platform_.ShowMessage(prompt, title);
    if (while_shown) {
      while_shown();
    }
  }
  void PumpEvents() override { platform_.PumpEvents(); }
  void HideWindow() override {}
  void RestoreWindow() override {}

  std::function<void()> while_shown;

 private:
  FakePlatform& platform_;
};

// A window with a game in /g: slot 1 empty, a save in slot 2, a read-me.
struct PadWindow {
  PadWindow() {
    platform.program_folder = Native("/g");
    platform.AddFile(Native("/g/zephran.ini"), "[Display]\r\nScreenWidth=640\r\n");
    platform.AddFile(Native("/g/savegames/slot2/Start.nam"));
    platform.AddFile(Native("/g/readme.txt"));
    controller.Load();
    controller.OnActivated();
    view.log.clear();
  }

  void Pad(std::initializer_list<PadAction> actions) {
    for (const PadAction action : actions) {
      controller.OnPad(action);
    }
  }

  // What the player would see happen: the view's changes, the messages
  // and the programs started.
  std::vector<std::string> Effects() const {
    std::vector<std::string> effects = view.log;
    for (const std::string& line : platform.log) {
      if (line.starts_with("message ")) {
        effects.push_back(line.substr(0, line.find('|')));
      }
    }
    for (const platform::CommandLine& command : platform.started) {
      effects.push_back("start " + command.Text());
    }
    return effects;
  }

  FakePlatform platform;
  Services services{platform};
  FakeView view;
  MainPageController controller{platform, services, view};
};

TEST(PadControllerTest, AcceptAndBackDoWhatTheStopOrTheMessageAsks) {
  struct Row {
    const char* what;
    std::vector<PadAction> to_reach;  // from the first focus, the windowed-mode box
    PadAction action;
    std::optional<PadAction> while_message;  // pressed while a message box is up
    std::vector<std::string> effects;
  };
  const std::string new_game = "start " + Native("/g/ZP1.EXE") + " game_nextframe";
  const std::string read_me = "start text-viewer " + Native("/g/readme.txt");
  const Row rows[] = {
      {"A toggles a check box", {}, A, {}, {"check ModeFenet 0"}},
      {"A opens a list", {kDown, kDown, kDown}, A, {}, {"open ListCol"}},
      {"down in an open list", {kDown, kDown, kDown, A}, kDown, {}, {"highlight ListCol 1"}},
      {"up at its top stays", {kDown, kDown, kDown, A}, kUp, {}, {"highlight ListCol 0"}},
      {"left in it does nothing", {kDown, kDown, kDown, A}, kLeft, {}, {}},
      {"A picks", {kDown, kDown, kDown, A, kDown}, A, {}, {"close ListCol", "select ListCol 1"}},
      {"B closes it unchanged", {kDown, kDown, kDown, A, kDown}, B, {}, {"close ListCol"}},
      {"A on New game launches", {kDown, kDown, kDown, kDown}, A, {}, {new_game}},
      {"A on Load : refuses an empty slot",
       {kDown, kDown, kDown, kDown, kDown},
       A,
       {},
       {"message Caution !"}},
      {"A loads the slot picked",
       {kDown, kDown, kDown, kDown, kDown, kRight, A, kDown, A, kLeft},
       A,
       {},
       {"start " + Native("/g/ZP1.EXE") + " load_game slot_2"}},
      {"A answers the message",
       {kDown, kDown, kDown, kDown, kDown},
       A,
       A,
       {"answer", "message Caution !"}},
      {"B answers the message",
       {kDown, kDown, kDown, kDown, kDown},
       A,
       B,
       {"answer", "message Caution !"}},
      {"a direction leaves the message",
       {kDown, kDown, kDown, kDown, kDown},
       A,
       kUp,
       {"message Caution !"}},
      {"A opens the read-me", {kUp, kUp}, A, {}, {read_me}},
      {"B closes the window", {kDown}, B, {}, {"close window"}},
  };
  for (const Row& row : rows) {
    PadWindow fresh;
    for (const PadAction action : row.to_reach) {
      fresh.controller.OnPad(action);
    }
    fresh.view.log.clear();
    fresh.platform.log.clear();
    fresh.platform.started.clear();
    if (row.while_message) {
      fresh.services.while_shown = [&fresh, &row] { fresh.controller.OnPad(*row.while_message); };
    }
    fresh.controller.OnPad(row.action);
    EXPECT_EQ(fresh.Effects(), row.effects) << row.what;
  }
}

TEST(PadControllerTest, PadAndMouseNeverLightTwoThings) {
  PadWindow window;
  struct Step {
    const char* what;
    std::function<void(MainPageController&)> event;
    std::vector<ControlId> lit;
  };
  const auto pad = [](PadAction action) {
    return [action](MainPageController& c) { c.OnPad(action); };
  };
  const auto mouse = [](std::optional<ControlId> over) {
    return [over](MainPageController& c) { c.OnMouseMoved(over); };
  };
  const Step steps[] = {
      {"the cursor starts at the focus", pad(kUp), {ListChoixResol}},
      {"on the link, only its mark", pad(kUp), {Lien_txt}},
      {"the mouse lights New game", mouse(BoutLancerNouveau), {BoutLancerNouveau}},
      {"the mouse leaves for the background", mouse(std::nullopt), {ListChoixResol}},
      {"the next press shows the cursor again", pad(kDown), {BoutLancerNouveau}},
      {"and the one after moves it", pad(kDown), {BoutLoad}},
      {"the mouse over another control changes nothing", mouse(ModeSousT), {BoutLoad}},
      {"a key gives the cursor back to the focus",
       [](auto& c) { c.OnKeyPressed(); },
       {ListChoixResol}},
      {"the focus moved by Tab takes the cursor",
       [](auto& c) { c.OnFocusMoved(ListSlot); },
       {ListSlot}},
      {"the mouse on a button while on a list", mouse(BoutLoad), {BoutLoad}},
      {"the focus back on its control after a message",
       [](auto& c) { c.OnFocusMoved(ListSlot); },
       {BoutLoad}},
  };
  const FakeView& view = window.view;
  for (const Step& step : steps) {
    step.event(window.controller);
    std::vector<ControlId> lit;
    for (const auto& [label, marked] : view.marks) {
      if (marked) {
        lit.push_back(label);
      }
    }
    for (const auto& [label, colour] : view.colours) {
      if (colour == MainPageDescription().highlighted_button) {
        lit.push_back(label);
      }
    }
    if (view.focus_mark_shown && !view.focus.empty()) {
      lit.push_back(view.focus.back());
    }
    EXPECT_EQ(lit, step.lit) << step.what;
  }
}

TEST(PadControllerTest, NothingThePadAsksRunsWhileAClicksWorkLetsEventsThrough) {
  PadWindow window;
  window.platform.on_pump = [&window] { window.controller.OnPad(A); };
  window.Pad({kUp, kUp});
  window.controller.OnClicked(Lien_txt);
  window.controller.OnClicked(BoutLancerNouveau);
  // The read-me and the game, once each.
  EXPECT_EQ(window.platform.started.size(), 2u);
}

TEST(PadReaderTest, PressesActOnceDirectionsRepeatWhileHeld) {
  struct Read {
    int at_ms;
    PadState state;
    std::vector<PadAction> actions;
  };
  PadState down;
  down.down = true;
  PadState accept_held_down = down;
  accept_held_down.accept = true;
  PadState stick_left;
  stick_left.stick_x = -20000;
  PadState stick_resting_left;  // under half its travel, over a third
  stick_resting_left.stick_x = -12000;
  PadState stick_barely;  // a resting thumb
  stick_barely.stick_x = -9000;
  PadState stick_diagonal;  // mostly down
  stick_diagonal.stick_x = 17000;
  stick_diagonal.stick_y = 25000;
  PadState back;
  back.back = true;
  const Read reads[] = {
      {0, accept_held_down, {}},  // held before the first read: learnt only
      {10, down, {}},
      {2000, down, {}},  // nor does it repeat
      {2010, {}, {}},
      {2020, down, {kDown}},
      {2030, accept_held_down, {A}},
      {2419, down, {}},
      {2420, down, {kDown}},  // the first repeat
      {2544, down, {}},
      {2545, down, {kDown}},  // then faster
      {9000, down, {kDown}},  // a late read repeats once
      {9010, stick_left, {kLeft}},
      {9020, stick_resting_left, {}},  // still held
      {9030, stick_barely, {}},
      {9040, stick_resting_left, {}},  // not past half: nothing
      {9050, stick_diagonal, {kDown}},
      {9060, back, {B}},
      {9070, back, {}},
  };
  PadReader reader;
  for (const Read& read : reads) {
    EXPECT_EQ(reader.Read(read.state, milliseconds(read.at_ms)), read.actions)
        << "at " << read.at_ms << " ms";
  }
  reader.Forget();
  EXPECT_TRUE(reader.Read(back, milliseconds(9080)).empty()) << "held when reading starts again";
}

}  // namespace
}  // namespace zephran::window
