// The Win32 window driven through its messages, as the player's mouse and
// keyboard would drive it, over an in-memory installation.
#include "win32/main_window.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows_text.h"
#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"

namespace zephran::win32 {
namespace {

using core::testing::FakePlatform;
using core::testing::Native;
using window::ControlId;
using window::ControlKind;
using window::Describe;
using window::MainPageDescription;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    platform.program_folder = Native("/g");
    platform.AddFile(Native("/g/zephran.ini"),
                     "[Display]\r\nScreenWidth=640\r\nFullScreen=0\r\nBitsPerPixel=16\r\n");
    platform.AddFile(Native("/g/readme.txt"));
    platform.AddFile(Native("/g/savegames/slot2/Castle.nam"));
  }

  // Starts the window as the program does and lets it settle, with the
  // pointer in a corner the centred window never covers: a real mouse move
  // would light a text button.
  void Start() {
    ::SetCursorPos(0, 0);
    window.Load();
    window.ShowCentred();
    Pump();
  }

  static void Pump() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  HWND Control(ControlId id) const { return window.Control(id); }

  // A press and release at a control's top-left corner.
  void Click(ControlId id) {
    ::SendMessageW(Control(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::SendMessageW(Control(id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }

  // A key as the message loop hands it on: through the window's filter.
  void Key(HWND target, WPARAM key) {
    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
      MSG msg{target, message, key, 1, 0, {}};
      if (!window.Filter(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
  }

  FakePlatform platform;
  MainWindow window{::GetModuleHandleW(nullptr), platform, platform};
};

TEST_F(MainWindowTest, ControlsSitAtTheirBoxesInAFixedClientArea) {
  Start();
  RECT client{};
  ::GetClientRect(window.Handle(), &client);
  EXPECT_EQ(client.right, 302);
  EXPECT_EQ(client.bottom, 299);
  const LONG style = ::GetWindowLongW(window.Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);

  for (const auto& control : MainPageDescription().controls) {
    SCOPED_TRACE(std::string(control.name));
    HWND handle = Control(control.id);
    ASSERT_NE(handle, nullptr);
    RECT box{};
    ::GetWindowRect(handle, &box);
    ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&box), 2);
    // A closed list's height comes from its font and frame; it is fitted.
    EXPECT_EQ(box.left, control.box.x);
    EXPECT_EQ(box.top, control.box.y);
    EXPECT_EQ(box.right - box.left, control.box.width);
    EXPECT_EQ(box.bottom - box.top, control.box.height);
    // Only lists and check boxes are reached by Tab.
    const bool tab_stop = (::GetWindowLongW(handle, GWL_STYLE) & WS_TABSTOP) != 0;
    EXPECT_EQ(tab_stop, control.kind != ControlKind::kLabel);
  }
  // "Colors :" reaches under its list: the point is the list's.
  const POINT shared{150, 185};
  EXPECT_EQ(::ChildWindowFromPointEx(window.Handle(), shared, CWP_SKIPINVISIBLE),
            Control(ControlId::ListCol));
}

// Every control exists, filled, from the moment the window is made: the
// controller may fill, choose and read before the window shows. Each one's
// window goes with the window's object.
TEST_F(MainWindowTest, ControlsExistFromTheStartAndGoWithTheWindow) {
  std::vector<HWND> made;
  {
    MainWindow other{::GetModuleHandleW(nullptr), platform, platform};
    for (const auto& control : MainPageDescription().controls) {
      ASSERT_NE(other.Control(control.id), nullptr) << control.name;
      made.push_back(other.Control(control.id));
    }
    const HWND slots = other.Control(ControlId::ListSlot);
    other.AppendItem(ControlId::ListSlot, "1 - Castle");
    other.SelectItem(ControlId::ListSlot, 0);
    EXPECT_EQ(::SendMessageW(slots, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(other.SelectedItem(ControlId::ListSlot), 0);
    EXPECT_EQ(::SendMessageW(other.Control(ControlId::ListChoixResol), CB_GETCOUNT, 0, 0), 4);
    made.push_back(other.Handle());
  }
  for (const HWND gone : made) {
    EXPECT_FALSE(::IsWindow(gone));
  }
}

// The carried faces stand in where the system's are missing: each label's
// words must still fit its box's width (a wider face would break them onto a
// second line that the box cuts off).
TEST_F(MainWindowTest, LabelTextsFitTheirBoxesOnOneLine) {
  HDC screen = ::GetDC(nullptr);
  for (const auto& control : MainPageDescription().controls) {
    if (control.kind != ControlKind::kLabel) {
      continue;
    }
    SCOPED_TRACE(std::string(control.name));
    HGDIOBJ old = ::SelectObject(
        screen, reinterpret_cast<HFONT>(::SendMessageW(Control(control.id), WM_GETFONT, 0, 0)));
    const std::wstring text = platform::Utf16FromUtf8(control.text);
    RECT needed{0, 0, control.box.width, 0};
    ::DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_LE(needed.right, control.box.width);
    ::SelectObject(screen, old);
  }
  ::ReleaseDC(nullptr, screen);
}

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  return std::wstring(text, static_cast<std::size_t>(::GetWindowTextW(window, text, 256)));
}

// The name a screen reader gives a control: its own text, or for a combo
// box the text of the nearest static above it in the z-order, the search
// stopping at a control that starts a group of Tab stops.
std::wstring NameForScreenReaders(HWND control) {
  wchar_t class_name[32] = {};
  ::GetClassNameW(control, class_name, 32);
  if (std::wstring_view(class_name) != L"ComboBox") {
    return WindowText(control);
  }
  for (HWND above = ::GetWindow(control, GW_HWNDPREV); above != nullptr;
       above = ::GetWindow(above, GW_HWNDPREV)) {
    ::GetClassNameW(above, class_name, 32);
    if (_wcsicmp(class_name, L"Static") == 0) {
      return WindowText(above);
    }
    const LONG style = ::GetWindowLongW(above, GWL_STYLE);
    if ((style & (WS_GROUP | WS_TABSTOP)) == (WS_GROUP | WS_TABSTOP)) {
      break;
    }
  }
  return {};
}

TEST_F(MainWindowTest, ListsAndCheckBoxesCarryTheirAccessibleNames) {
  Start();
  for (const auto& control : MainPageDescription().controls) {
    if (control.kind != ControlKind::kLabel) {
      EXPECT_EQ(NameForScreenReaders(Control(control.id)),
                platform::Utf16FromUtf8(control.accessible_name))
          << control.name;
    }
  }
}

TEST_F(MainWindowTest, FocusStartsOnWindowedModeAndTabCyclesTheSixControls) {
  Start();
  ASSERT_EQ(::GetFocus(), Control(ControlId::ModeFenet));
  // Its focus mark, a dotted frame 2 px inside the box, stays hidden until
  // a key is pressed.
  const auto mark = [&] {
    ::RedrawWindow(window.Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const auto& box = Describe(ControlId::ModeFenet).box;
    HDC screen = ::GetDC(window.Handle());
    std::vector<COLORREF> edge;
    for (int x = box.x + 4; x < box.x + 14; ++x) {
      edge.push_back(::GetPixel(screen, x, box.y + 2));
    }
    ::ReleaseDC(window.Handle(), screen);
    return edge;
  };
  const std::vector<COLORREF> before = mark();

  const std::vector<ControlId> forward{ControlId::ListCol,    ControlId::ListChoixResol,
                                       ControlId::ListSlot,   ControlId::ModeSousT,
                                       ControlId::ModeCinema, ControlId::ModeFenet};
  for (const ControlId expected : forward) {
    Key(::GetFocus(), VK_TAB);
    EXPECT_EQ(::GetFocus(), Control(expected)) << Describe(expected).name;
  }
  EXPECT_NE(mark(), before);
  // The focus comes back where it was when the window is active again.
  ::SetFocus(Control(ControlId::ListSlot));
  ::SendMessageW(window.Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
  ::SetFocus(nullptr);
  ::SendMessageW(window.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(::GetFocus(), Control(ControlId::ListSlot));
}

// The title bar shows no icon: neither the class nor the window has one for
// it to draw; the task bar and Alt+Tab still get the program's.
TEST_F(MainWindowTest, OnlyTheTaskBarGetsTheIcon) {
  const HWND main = window.Handle();
  EXPECT_EQ(::GetClassLongPtrW(main, GCLP_HICON), 0);
  EXPECT_EQ(::GetClassLongPtrW(main, GCLP_HICONSM), 0);
  EXPECT_EQ(::SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_NE(::SendMessageW(main, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(::GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
}

// Opened, the save list shows all eight slots without a scroll bar, wide
// enough for the longest name.
TEST_F(MainWindowTest, OpenedSaveListShowsEverySlotWhole) {
  const std::string name = "The harbour at dawn, before the storm broke";
  platform.AddFile(Native("/g/savegames/slot4/" + name + ".nam"));
  Start();
  const HWND list = Control(ControlId::ListSlot);
  ::SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
  COMBOBOXINFO parts{};
  parts.cbSize = sizeof parts;
  ASSERT_TRUE(::GetComboBoxInfo(list, &parts));
  RECT inside{};
  ::GetClientRect(parts.hwndList, &inside);
  const auto item_height = ::SendMessageW(list, CB_GETITEMHEIGHT, 0, 0);
  EXPECT_GE(inside.bottom, 8 * item_height);
  EXPECT_EQ(::GetWindowLongW(parts.hwndList, GWL_STYLE) & WS_VSCROLL, 0);

  const std::wstring longest = platform::Utf16FromUtf8("4 - " + name);
  HDC dc = ::GetDC(parts.hwndList);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)));
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, longest.c_str(), static_cast<int>(longest.size()), &extent);
  ::SelectObject(dc, old);
  ::ReleaseDC(parts.hwndList, dc);
  EXPECT_GT(inside.right, extent.cx);
  ::SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
}

TEST_F(MainWindowTest, CheckBoxesToggleOnEachClickIncludingADoubleClick) {
  Start();
  const HWND box = Control(ControlId::ModeCinema);
  ASSERT_EQ(window.CheckValue(ControlId::ModeCinema), 0);

  struct Step {
    const char* what;
    std::vector<UINT> messages;
    int value;
  };
  const Step steps[] = {
      {"click", {WM_LBUTTONDOWN, WM_LBUTTONUP}, 1},
      {"click again", {WM_LBUTTONDOWN, WM_LBUTTONUP}, 0},
      {"double-click", {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}, 0},
  };
  for (const Step& step : steps) {
    for (const UINT message : step.messages) {
      ::SendMessageW(box, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(5, 5));
    }
    EXPECT_EQ(window.CheckValue(ControlId::ModeCinema), step.value) << step.what;
  }
  // Space on the focused box toggles it too.
  ::SetFocus(box);
  Key(box, VK_SPACE);
  EXPECT_EQ(window.CheckValue(ControlId::ModeCinema), 1);
  // A caption is not its box.
  Click(ControlId::TexteCinema);
  EXPECT_EQ(window.CheckValue(ControlId::ModeCinema), 1);
  EXPECT_EQ(window.CheckValue(ControlId::ModeFenet), 1);  // FullScreen=0 at start-up
}

TEST_F(MainWindowTest, StartUpAndPicksReachTheLauncher) {
  Start();
  EXPECT_EQ(window.SelectedItem(ControlId::ListChoixResol), 0);
  EXPECT_EQ(window.State().GameExe, "ZP1.EXE");
  EXPECT_EQ(window.State().ColorDepth, "16");
  ASSERT_EQ(::SendMessageW(Control(ControlId::ListSlot), CB_GETCOUNT, 0, 0), 8);
  EXPECT_EQ(window.State().SlotEmpty, core::kTrue);

  // The keyboard picks the next item of a focused list.
  for (const ControlId list :
       {ControlId::ListChoixResol, ControlId::ListCol, ControlId::ListSlot}) {
    ::SetFocus(Control(list));
    Key(Control(list), VK_DOWN);
  }
  EXPECT_EQ(window.State().ScreenW, "512");
  EXPECT_EQ(window.State().ColorDepth, "32");
  EXPECT_EQ(window.State().SlotEmpty, core::kFalse);  // slot 2 holds Castle

  // Ctrl+L loads it.
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  MSG chord{window.Handle(), WM_KEYDOWN, 'L', 1, 0, {}};
  EXPECT_TRUE(window.Filter(chord));
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  ASSERT_EQ(platform.started.size(), 1u);
  EXPECT_EQ(platform.started[0].Text(), Native("/g/ZP1.EXE") + " load_game slot_2");
}

TEST_F(MainWindowTest, TextButtonsLightUpAsAPairAndClicksRunTheirActions) {
  Start();
  const COLORREF button_text = ::GetSysColor(COLOR_BTNTEXT);
  EXPECT_EQ(window.TextColour(ControlId::BoutLoad), button_text);
  EXPECT_EQ(window.TextColour(ControlId::BoutLancerNouveau), kBlack);

  struct Step {
    HWND over;
    COLORREF load;
    COLORREF new_game;
  };
  const Step steps[] = {
      {Control(ControlId::BoutLoad), kWhite, kBlack},
      {Control(ControlId::ListSlot), kWhite, kBlack},  // another control: no change
      {Control(ControlId::TextCol), kWhite, kBlack},
      {Control(ControlId::BoutLancerNouveau), kBlack, kWhite},
      {window.Handle(), kBlack, kBlack},  // the bare background
  };
  for (const Step& step : steps) {
    ::SendMessageW(step.over, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(window.TextColour(ControlId::BoutLoad), step.load);
    EXPECT_EQ(window.TextColour(ControlId::BoutLancerNouveau), step.new_game);
  }

  // Pressed on the link, released elsewhere: no click.
  ::SendMessageW(Control(ControlId::Lien_txt), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageW(Control(ControlId::Lien_txt), WM_LBUTTONUP, 0, MAKELPARAM(200, 2));
  EXPECT_TRUE(platform.started.empty());
  Click(ControlId::Lien_txt);
  ASSERT_EQ(platform.started.size(), 1u);
  EXPECT_FALSE(platform.ended);
  Click(ControlId::BoutLancerNouveau);
  ASSERT_EQ(platform.started.size(), 2u);
  EXPECT_EQ(platform.started[1].Text(), Native("/g/ZP1.EXE") + " game_nextframe");
  EXPECT_TRUE(platform.ended);
}

TEST_F(MainWindowTest, PaintsThePictureTheStripAndTheCheckBoxFrames) {
  Start();
  ::RedrawWindow(window.Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC screen = ::GetDC(window.Handle());
  const auto blue = [](COLORREF c) {
    return GetBValue(c) > GetRValue(c) + 30 && GetBValue(c) > GetGValue(c) + 30;
  };
  const auto at = [&](int x, int y) { return ::GetPixel(screen, x, y); };
  // The 2 px strip right of the picture is the window's black.
  for (int y : {5, 150, 290}) {
    EXPECT_EQ(at(300, y), kBlack);
    EXPECT_EQ(at(301, y), kBlack);
  }
  // The two bars show around and between the text buttons' letters.
  EXPECT_TRUE(blue(at(250, 236)));
  EXPECT_TRUE(blue(at(205, 236)));
  EXPECT_TRUE(blue(at(60, 278)));
  EXPECT_EQ(at(150, 256), kBlack);
  // Each unchecked box shows the green frame of its off picture, centred.
  for (const ControlId box : {ControlId::ModeCinema, ControlId::ModeSousT}) {
    const auto& b = Describe(box).box;
    const int left = b.x + (b.width - 20) / 2;
    const int top = b.y + (b.height - 20) / 2;
    EXPECT_EQ(at(left + 1, top + 10), RGB(0, 255, 0)) << Describe(box).name;
    EXPECT_EQ(at(left + 10, top + 10), kBlack) << Describe(box).name;
  }
  ::ReleaseDC(window.Handle(), screen);
}

// The client area's pixels, children included, as the window's surface
// holds them after a full repaint.
std::vector<COLORREF> ClientPixels(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT client{};
  ::GetClientRect(window, &client);
  HDC dc = ::GetDCEx(window, nullptr, DCX_CACHE);  // not clipped to the parent
  std::vector<COLORREF> pixels;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      pixels.push_back(::GetPixel(dc, x, y));
    }
  }
  ::ReleaseDC(window, dc);
  return pixels;
}

// The pixels that differ between two pictures of the client area, the first
// few reported.
int Differing(const std::vector<COLORREF>& before, const std::vector<COLORREF>& after) {
  EXPECT_EQ(before.size(), after.size());
  int differing = 0;
  for (std::size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
    if (before[i] != after[i] && differing++ < 5) {
      ADD_FAILURE() << "pixel " << i % 302 << "," << i / 302 << ": " << std::hex << before[i]
                    << ", then " << after[i];
    }
  }
  return differing;
}

// The window shows whole, its lists made and filled before the first paint;
// what is added after it shows (the tooltips) must not change what the
// player sees, whatever was chosen.
TEST_F(MainWindowTest, CompletingTheShownWindowChangesNoPixel) {
  platform.AddFile(Native("/g/savegames/slot1/A long name for a save.nam"));
  ::SetCursorPos(0, 0);
  window.Load();
  window.Show();
  Pump();
  ASSERT_NE(Control(ControlId::ListSlot), nullptr);
  const std::vector<COLORREF> shown = ClientPixels(window.Handle());
  window.CompleteControls();
  Pump();
  EXPECT_EQ(Differing(shown, ClientPixels(window.Handle())), 0);
}

// Moved to a monitor of another scale, the window is drawn there at that
// scale, every control at its box, as large as the system suggests; moved
// back, every pixel is as it was.
TEST_F(MainWindowTest, AMoveToAnotherScaleRedrawsThereAndBackAsItWas) {
  Start();
  const std::vector<COLORREF> before = ClientPixels(window.Handle());
  RECT frame{};
  ::GetWindowRect(window.Handle(), &frame);
  const auto move_to = [&](const Scale& scale) {
    // The frame as it is around the client area at that scale.
    RECT suggested{frame.left, frame.top, frame.right - 302 + scale.Px(302),
                   frame.bottom - 299 + scale.Px(299)};
    ::SendMessageW(window.Handle(), kDpiChangedMessage, MAKEWPARAM(scale.Dpi(), scale.Dpi()),
                   reinterpret_cast<LPARAM>(&suggested));
    Pump();
  };
  const Scale larger(144);
  move_to(larger);
  EXPECT_EQ(window.WindowScale(), larger);
  RECT client{};
  ::GetClientRect(window.Handle(), &client);
  EXPECT_EQ(client.right, 453);
  EXPECT_EQ(client.bottom, 449);
  for (const auto& control : MainPageDescription().controls) {
    RECT box{};
    ::GetWindowRect(Control(control.id), &box);
    ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&box), 2);
    const RECT wanted = larger.Of(control.box);
    EXPECT_TRUE(::EqualRect(&box, &wanted) != FALSE)
        << control.name << " at " << box.left << "," << box.top << " " << box.right << ","
        << box.bottom;
  }
  move_to(Scale());
  EXPECT_EQ(Differing(before, ClientPixels(window.Handle())), 0);
}

}  // namespace
}  // namespace zephran::win32
