#pragma once

#include <memory>
#include <string_view>

#include "core/window_services.h"
#include "platform/platform.h"
#include "platform/windows_api.h"
#include "win32/backdrop.h"
#include "win32/colours.h"
#include "win32/control_set.h"
#include "win32/focus_cues.h"
#include "win32/fonts.h"
#include "win32/gdi.h"
#include "win32/scale.h"
#include "win32/text_label.h"
#include "win32/tooltips.h"
#include "win32/win32_window_services.h"
#include "win32/window_base.h"
#include "win32/xinput_pad.h"
#include "window/controller.h"
#include "window/description.h"
#include "window/view.h"

namespace zephran::win32 {

// The launcher's window over plain Win32 controls, laid out from the
// window's description: its controls (ControlSet) all made with the window,
// so that every control the controller names exists. The window paints its
// backdrop, routes what its controls tell it to them and to the controller,
// and keeps the keyboard's shortcuts, the focus marks and the pads' reads.
class MainWindow final : public WindowBase,
                         public window::MainPageView,
                         public MessageFilter,
                         private TextLabelHost {
 public:
  // Creates the window hidden, centred on the work area, with every
  // control; the program runs Load() and then ShowCentred().
  // Throws CreationError when the system refuses any part of it.
  MainWindow(HINSTANCE instance, platform::Platform& platform, core::WindowServices& services);
  ~MainWindow() override;

  HWND Control(window::ControlId id) const { return controls_.Handle(id); }
  const core::LauncherState& State() const { return controller_.State(); }
  const Fonts& FontSet() const { return fonts_; }
  // The scale the window is drawn at: its monitor's.
  const Scale& WindowScale() const { return scale_; }
  // What a label is painted in now.
  COLORREF TextColour(window::ControlId label) const { return controls_.TextColour(label); }
  // Whether the focus mark shows around a label (for the tests).
  bool LabelMarked(window::ControlId label) const { return controls_.LabelMarked(label); }

  void Load() { controller_.Load(); }
  // Show() and then CompleteControls(): what the program does.
  void ShowCentred();
  // Shows the window.
  void Show();
  // Gives the controls their tooltips.
  void CompleteControls();

  // The view's calls on one control go to it.
  void AppendItem(window::ControlId list, std::string_view text) override {
    controls_.AppendItem(list, text);
  }
  void SelectItem(window::ControlId list, int index) override { controls_.SelectItem(list, index); }
  int SelectedItem(window::ControlId list) const override { return controls_.SelectedItem(list); }
  int CheckValue(window::ControlId box) const override { return controls_.CheckValue(box); }
  void SetCheckValue(window::ControlId box, int value) override {
    controls_.SetCheckValue(box, value);
  }
  void SetTextColour(window::ControlId label, window::Colour colour) override {
    controls_.SetTextColour(label, ToColorRef(colour));
  }
  void Focus(window::ControlId control) override { controls_.Focus(control); }
  void MarkLabel(window::ControlId label, bool marked) override {
    controls_.MarkLabel(label, marked);
  }
  void OpenList(window::ControlId list) override { controls_.OpenList(list); }
  void HighlightItem(window::ControlId list, int index) override {
    controls_.HighlightItem(list, index);
  }
  void CloseList(window::ControlId list) override { controls_.CloseList(list); }
  bool ListOpen(window::ControlId list) const override { return controls_.ListOpen(list); }
  int ItemCount(window::ControlId list) const override { return controls_.ItemCount(list); }
  // And those on the window to the window.
  void ShowFocusMark(bool shown) override;
  void AnswerMessage() override { AnswerMessageBox(); }
  void CloseWindow() override;

  // What the player asks with a gamepad.
  void OnPad(window::PadAction action) { controller_.OnPad(action); }

  // Shortcuts and dialog keys, for the message loop and the event pump.
  bool Filter(MSG& message) override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool RouteNotice(HWND control, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void OnCommand(WPARAM wparam, LPARAM lparam);
  void OnActivate(bool active);
  void OnDpiChanged(int dpi, const RECT& suggested);
  void ReadPads();
  void ShowFocusCues();

  void CopyBackdrop(HDC target, const RECT& area, window::ControlId label) const override;
  void OnLabelMouseMoved(window::ControlId label) override;
  void OnLabelClicked(window::ControlId label) override;

  HINSTANCE instance_ = nullptr;
  Scale scale_;
  Fonts fonts_;
  Backdrop backdrop_;
  Brush list_brush_;
  AcceleratorTable shortcuts_;
  FocusCues cues_;
  ControlSet controls_;
  std::unique_ptr<Tooltips> tooltips_;
  HWND saved_focus_ = nullptr;
  XInputPads pads_;
  window::MainPageController controller_;
};

}  // namespace zephran::win32
