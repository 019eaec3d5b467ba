#include "window/controller.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"
#include "tests/window/fake_view.h"

namespace zephran::window {
namespace {

using core::testing::FakePlatform;
using core::testing::Native;
using testing::FakeView;

class ControllerTest : public ::testing::Test {
 protected:
  ControllerTest() { platform.program_folder = Native("/g"); }

  FakePlatform platform;
  FakeView view;
  MainPageController controller{platform, platform, view};
};

TEST_F(ControllerTest, StartUpFillsTheControlsInOrderAndRunsEachListsHandler) {
  platform.AddFile(Native("/g/zp/zephran.ini"),
                   "[Display]\r\nScreenWidth=400\r\nFullScreen=0\r\nCinemaScope=1\r\n"
                   "BitsPerPixel=32\r\n[Audio]\r\nSubtitles=1\r\n");
  platform.AddFile(Native("/g/zp/savegames/slot2/Start.nam"));

  controller.Load();

  EXPECT_EQ(view.log, (std::vector<std::string>{"select ListChoixResol 2", "check ModeFenet 1",
                                                "check ModeCinema 1", "check ModeSousT 1",
                                                "select ListCol 1", "select ListSlot 0"}));
  EXPECT_EQ(view.selected, (std::map<ControlId, int>{{ControlId::ListChoixResol, 2},
                                                     {ControlId::ListCol, 1},
                                                     {ControlId::ListSlot, 0}}));
  EXPECT_EQ(view.checks,
            (std::map<ControlId, int>{
                {ControlId::ModeFenet, 1}, {ControlId::ModeCinema, 1}, {ControlId::ModeSousT, 1}}));
  ASSERT_EQ(view.items[ControlId::ListSlot].size(), 8u);
  EXPECT_EQ(view.items[ControlId::ListSlot][1], "2 - Start");
  // The handlers ran for the selections made from code.
  const core::LauncherState& state = controller.State();
  EXPECT_EQ(state.GameExe, "ZP2.EXE");
  EXPECT_EQ(state.ColorDepth, "32");
  EXPECT_EQ(state.SlotEmpty, core::kTrue);
  EXPECT_EQ(platform.messages, 0);

  // A player's pick runs the handler too.
  controller.OnPicked(ControlId::ListSlot, 1);
  EXPECT_EQ(controller.State().SlotEmpty, core::kFalse);
  controller.OnPicked(ControlId::ListChoixResol, 3);
  EXPECT_EQ(controller.State().GameExe, "ZP3.EXE");
}

TEST_F(ControllerTest, MissingInstallationIsToldOnceAndLeavesTheControlsAsDesigned) {
  controller.Load();
  controller.OnActivated();
  controller.OnActivated();

  EXPECT_EQ(platform.messages, 1);
  EXPECT_TRUE(view.log.empty());
  EXPECT_TRUE(view.items.empty());
  // Only the first activation moves the focus.
  EXPECT_EQ(view.focus, std::vector<ControlId>{ControlId::ModeFenet});
}

TEST_F(ControllerTest, ClicksLaunchFromTheViewsChoicesOrOpenTheReadMe) {
  platform.AddFile(Native("/g/zephran.ini"), "[Display]\r\nScreenWidth=640\r\n");
  platform.AddFile(Native("/g/readme.txt"));
  controller.Load();

  for (const ControlId inert : {ControlId::TextCol, ControlId::beta, ControlId::TextResol}) {
    controller.OnClicked(inert);
  }
  controller.OnClicked(ControlId::BoutLoad);  // slot 1 is empty
  EXPECT_EQ(platform.messages, 1);
  controller.OnClicked(ControlId::Lien_txt);
  EXPECT_EQ(platform.started.size(), 1u);
  EXPECT_FALSE(platform.ended);

  view.checks[ControlId::ModeFenet] = 1;  // the player ticked windowed mode
  controller.OnClicked(ControlId::BoutLancerNouveau);
  ASSERT_EQ(platform.started.size(), 2u);
  EXPECT_EQ(platform.started[1].Text(), Native("/g/ZP1.EXE") + " game_nextframe");
  EXPECT_NE(platform.files[Native("/g/zephran.ini")].find("FullScreen=0"), std::string::npos);
  EXPECT_TRUE(platform.ended);
}

TEST_F(ControllerTest, TextButtonsLightUpAsAPair) {
  struct Step {
    std::optional<ControlId> over;
    Colour load;
    Colour new_game;
  };
  const Step steps[] = {
      {ControlId::BoutLancerNouveau, kBlack, kWhite},
      {ControlId::BoutLoad, kWhite, kBlack},  // straight from one to the other
      {ControlId::ListSlot, kWhite, kBlack},  // other controls change nothing
      {ControlId::TextCol, kWhite, kBlack},
      {std::nullopt, kBlack, kBlack},  // the bare background
  };
  for (const Step& step : steps) {
    controller.OnMouseMoved(step.over);
    EXPECT_EQ(view.colours[ControlId::BoutLoad], step.load);
    EXPECT_EQ(view.colours[ControlId::BoutLancerNouveau], step.new_game);
  }
}

}  // namespace
}  // namespace zephran::window
