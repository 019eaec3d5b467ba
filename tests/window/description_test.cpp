#include "window/description.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

namespace zephran::window {
namespace {

bool Overlap(const Box& a, const Box& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// The rules the window's look relies on, whatever edits the table gets.
TEST(DescriptionTest, HoldsTogether) {
  const WindowDescription& window = MainPageDescription();
  std::set<std::string_view> names;
  std::set<ControlId> focusable;
  for (const ControlDescription& control : window.controls) {
    names.insert(control.name);
    EXPECT_GE(control.box.x, 0) << control.name;
    EXPECT_LE(control.box.x + control.box.width, window.client_width) << control.name;
    EXPECT_LE(control.box.y + control.box.height, window.client_height) << control.name;
    EXPECT_FALSE(control.accessible_name.empty()) << control.name;
    EXPECT_TRUE(control.items.empty() || control.kind == ControlKind::kList) << control.name;
    if (control.kind == ControlKind::kLabel) {
      continue;
    }
    focusable.insert(control.id);
    for (const ControlDescription& other : window.controls) {
      if (other.id != control.id && other.kind != ControlKind::kLabel) {
        EXPECT_FALSE(Overlap(control.box, other.box)) << control.name << " " << other.name;
      }
    }
  }
  EXPECT_EQ(names.size(), std::size_t{kControlCount});

  // Tab visits each focusable control once; labels never.
  EXPECT_EQ(std::set<ControlId>(window.tab_cycle.begin(), window.tab_cycle.end()), focusable);
  EXPECT_EQ(focusable.size(), window.tab_cycle.size());

  // Every control is stacked once, lists and check boxes above every label.
  std::set<ControlId> stacked(window.bottom_to_top.begin(), window.bottom_to_top.end());
  EXPECT_EQ(stacked.size(), std::size_t{kControlCount});
  const auto first_on_top =
      std::find_if(window.bottom_to_top.begin(), window.bottom_to_top.end(),
                   [](ControlId id) { return Describe(id).kind != ControlKind::kLabel; });
  EXPECT_TRUE(std::all_of(first_on_top, window.bottom_to_top.end(),
                          [](ControlId id) { return Describe(id).kind != ControlKind::kLabel; }));
}

// A caption labels its control for assistive technology: the pairs as drawn.
TEST(DescriptionTest, CaptionsLabelTheControlsTheyStandBeside) {
  using enum ControlId;
  const std::pair<ControlId, ControlId> pairs[] = {{ListChoixResol, TextResol},
                                                   {ListCol, TextCol},
                                                   {ModeFenet, TextFenetre},
                                                   {ModeCinema, TexteCinema},
                                                   {ModeSousT, TexteST}};
  for (const auto& [control, caption] : pairs) {
    EXPECT_EQ(CaptionOf(control), caption) << Describe(control).name;
  }
  EXPECT_EQ(CaptionOf(ListSlot), std::nullopt);  // "Load :" is a button, not its caption
  EXPECT_EQ(CaptionOf(TextResol), std::nullopt);
}

}  // namespace
}  // namespace zephran::window
