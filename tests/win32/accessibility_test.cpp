// The Win32 window as a screen reader sees it: each control asked through the
// system's Active Accessibility calls, and its default action invoked.
#include <ole2.h>
#include <oleacc.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"
#include "win32/main_window.h"

namespace zephran::win32 {
namespace {

using core::testing::FakePlatform;
using core::testing::Native;
using window::ControlId;

class AccessibilityTest : public ::testing::Test {
 protected:
  AccessibilityTest() {
    ::CoInitialize(nullptr);
    platform.program_folder = Native("/g");
    // Windowed mode on: its box starts checked.
    platform.AddFile(Native("/g/zephran.ini"), "[Display]\r\nScreenWidth=640\r\nFullScreen=0\r\n");
    platform.AddFile(Native("/g/readme.txt"));
    ::SetCursorPos(0, 0);
    window.Load();
    window.ShowCentred();
    Pump();
  }
  ~AccessibilityTest() override { ::CoUninitialize(); }

  static void Pump() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  // The control's client object, as a screen reader gets it.
  IAccessible* Ask(ControlId id) {
    IAccessible* object = nullptr;
    EXPECT_EQ(::AccessibleObjectFromWindow(window.Control(id), OBJID_CLIENT, __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&object)),
              S_OK);
    return object;
  }

  // The words a call gives back; empty when it gives none.
  template <typename Call>
  static std::wstring Words(Call call) {
    BSTR text = nullptr;
    const HRESULT result = call(&text);
    std::wstring taken = SUCCEEDED(result) && text != nullptr ? std::wstring(text) : L"";
    ::SysFreeString(text);
    return taken;
  }

  static VARIANT Self() {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
  }

  const VARIANT self = Self();
  FakePlatform platform;
  MainWindow window{::GetModuleHandleW(nullptr), platform, platform};
};

TEST_F(AccessibilityTest, ControlsHaveTheirRolesNamesDescriptionsAndActions) {
  struct Row {
    ControlId id;
    long role;
    const wchar_t* name;
    const wchar_t* description;
    const wchar_t* action;  // nullptr: whatever the system says
    const wchar_t* value = L"";
  };
  const Row rows[] = {
      {ControlId::BoutLancerNouveau, ROLE_SYSTEM_PUSHBUTTON, L"New game", L"Launch a new game",
       L"Press"},
      {ControlId::BoutLoad, ROLE_SYSTEM_PUSHBUTTON, L"Load", L"Load the game you've selected",
       L"Press"},
      {ControlId::Lien_txt, ROLE_SYSTEM_LINK, L"Read-me.txt", L"What you must know", L"Jump"},
      {ControlId::ListChoixResol, ROLE_SYSTEM_COMBOBOX, L"Resolution",
       L"Select the resolution of the game", nullptr, L"640x480"},
      {ControlId::ListCol, ROLE_SYSTEM_COMBOBOX, L"Colors", L"Select color depth", nullptr,
       L"16 bits"},
      {ControlId::ListSlot, ROLE_SYSTEM_COMBOBOX, L"Saved game", L"Select a saved game", nullptr,
       L"1 ----------"},
      {ControlId::ModeFenet, ROLE_SYSTEM_CHECKBUTTON, L"Windowed mode",
       L"Enable windowed mode (a black edge appears around the screen)", L"Uncheck"},
      {ControlId::ModeSousT, ROLE_SYSTEM_CHECKBUTTON, L"Sub-titles", L"Enable sub-titles",
       L"Check"},
      {ControlId::TextResol, ROLE_SYSTEM_STATICTEXT, L"Resolution",
       L"Select the resolution of the game", L""},
  };
  for (const Row& row : rows) {
    IAccessible* object = Ask(row.id);
    ASSERT_NE(object, nullptr) << window::Describe(row.id).name;
    VARIANT role{};
    EXPECT_EQ(object->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, row.role) << window::Describe(row.id).name;
    EXPECT_EQ(Words([&](BSTR* text) { return object->get_accName(self, text); }), row.name);
    EXPECT_EQ(Words([&](BSTR* text) { return object->get_accDescription(self, text); }),
              row.description);
    EXPECT_EQ(Words([&](BSTR* text) { return object->get_accValue(self, text); }), row.value)
        << window::Describe(row.id).name;
    if (row.action != nullptr) {
      EXPECT_EQ(Words([&](BSTR* text) { return object->get_accDefaultAction(self, text); }),
                row.action)
          << window::Describe(row.id).name;
    }
    object->Release();
  }
}

TEST_F(AccessibilityTest, DefaultActionsAndTheHelpKeyWorkAsClicks) {
  const auto press = [&](ControlId id) {
    IAccessible* object = Ask(id);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->accDoDefaultAction(self), S_OK);
    object->Release();
    Pump();  // the press arrives as the control's click notice
  };

  press(ControlId::ModeFenet);
  EXPECT_EQ(window.CheckValue(ControlId::ModeFenet), 0);
  IAccessible* box = Ask(ControlId::ModeFenet);
  ASSERT_NE(box, nullptr);
  VARIANT state{};
  EXPECT_EQ(box->get_accState(self, &state), S_OK);
  EXPECT_EQ(state.lVal & STATE_SYSTEM_CHECKED, 0);
  box->Release();

  press(ControlId::Lien_txt);
  MSG help{window.Handle(), WM_KEYDOWN, VK_F1, 1, 0, {}};
  EXPECT_TRUE(window.Filter(help));
  ASSERT_EQ(platform.started.size(), 2u);
  EXPECT_EQ(platform.started[0].Text(), platform.started[1].Text());
  EXPECT_NE(platform.started[0].Text().find("readme.txt"), std::string::npos);
  EXPECT_FALSE(platform.ended);

  press(ControlId::BoutLancerNouveau);
  ASSERT_EQ(platform.started.size(), 3u);
  EXPECT_EQ(platform.started[2].Text(), Native("/g/ZP1.EXE") + " game_nextframe");
  EXPECT_TRUE(platform.ended);
}

}  // namespace
}  // namespace zephran::win32
