// The Win32 window as a screen reader sees it: each control asked through the
// system's Active Accessibility calls, and its default action invoked.
#include <ole2.h>
#include <oleacc.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/windows_text.h"
#include "tests/core/fake_platform.h"
#include "tests/core/test_paths.h"
#include "win32/main_window.h"

namespace zephran::win32 {
namespace {

using core::testing::FakePlatform;
using core::testing::Native;
using platform::Utf16FromUtf8;
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

  // The words one of the object's getters gives back; empty when it gives none.
  using Getter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
  std::wstring Words(IAccessible* object, Getter get) const {
    BSTR text = nullptr;
    const HRESULT result = (object->*get)(self, &text);
    std::wstring taken = SUCCEEDED(result) && text != nullptr ? std::wstring(text) : L"";
    ::SysFreeString(text);
    return taken;
  }

  const VARIANT self = [] {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = CHILDID_SELF;
    return child;
  }();
  FakePlatform platform;
  MainWindow window{::GetModuleHandleW(nullptr), platform, platform};
};

// Names and descriptions come from the window description (whose words the Linux test checks).
TEST_F(AccessibilityTest, ControlsHaveTheirRolesNamesDescriptionsAndActions) {
  struct Row {
    ControlId id;
    long role;
    const wchar_t* action;  // nullptr: whatever the system says
    const wchar_t* value = L"";
  };
  const Row rows[] = {
      {ControlId::BoutLancerNouveau, ROLE_SYSTEM_PUSHBUTTON, L"Press"},
      {ControlId::BoutLoad, ROLE_SYSTEM_PUSHBUTTON, L"Press"},
      {ControlId::Lien_txt, ROLE_SYSTEM_LINK, L"Jump"},
      {ControlId::ListChoixResol, ROLE_SYSTEM_COMBOBOX, nullptr, L"640x480"},
      {ControlId::ListCol, ROLE_SYSTEM_COMBOBOX, nullptr, L"16 bits"},
      {ControlId::ListSlot, ROLE_SYSTEM_COMBOBOX, nullptr, L"1 ----------"},
      {ControlId::ModeFenet, ROLE_SYSTEM_CHECKBUTTON, L"Uncheck"},
      {ControlId::ModeSousT, ROLE_SYSTEM_CHECKBUTTON, L"Check"},
      {ControlId::TextResol, ROLE_SYSTEM_STATICTEXT, L""},
  };
  for (const Row& row : rows) {
    const window::ControlDescription& control = window::Describe(row.id);
    SCOPED_TRACE(std::string(control.name));
    IAccessible* object = Ask(row.id);
    ASSERT_NE(object, nullptr);
    VARIANT role{};
    EXPECT_EQ(object->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, row.role);
    EXPECT_EQ(Words(object, &IAccessible::get_accName), Utf16FromUtf8(control.accessible_name));
    EXPECT_EQ(Words(object, &IAccessible::get_accDescription), Utf16FromUtf8(control.tooltip));
    EXPECT_EQ(Words(object, &IAccessible::get_accValue), row.value);
    if (row.action != nullptr) {
      EXPECT_EQ(Words(object, &IAccessible::get_accDefaultAction), row.action);
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
