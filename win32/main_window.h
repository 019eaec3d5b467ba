#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "core/window_services.h"
#include "platform/platform.h"
#include "platform/windows_api.h"
#include "win32/drop_down_list.h"
#include "win32/focus_cues.h"
#include "win32/fonts.h"
#include "win32/gdi.h"
#include "win32/picture_check_box.h"
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
// window's description: each control an object of its own (DropDownList,
// PictureCheckBox, TextLabel), all made with the window, so that every
// control the controller names exists. The window paints its picture,
// routes what its controls tell it to them and to the controller, and keeps
// the keyboard's shortcuts and focus marks.
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

  HWND Control(window::ControlId id) const;
  const core::LauncherState& State() const { return controller_.State(); }
  const Fonts& FontSet() const { return fonts_; }
  // What a label is painted in now.
  COLORREF TextColour(window::ControlId label) const;

  void Load() { controller_.Load(); }
  // Show() and then CompleteControls(): what the program does.
  void ShowCentred();
  // Shows the window.
  void Show();
  // Gives the controls their tooltips.
  void CompleteControls();

  void AppendItem(window::ControlId list, std::string_view text) override;
  void SelectItem(window::ControlId list, int index) override;
  int SelectedItem(window::ControlId list) const override;
  int CheckValue(window::ControlId check_box) const override;
  void SetCheckValue(window::ControlId check_box, int value) override;
  void SetTextColour(window::ControlId label, window::Colour colour) override;
  void Focus(window::ControlId control) override;
  void MarkLabel(window::ControlId label, bool marked) override;
  void ShowFocusMark(bool shown) override;
  void OpenList(window::ControlId list) override;
  void HighlightItem(window::ControlId list, int index) override;
  void CloseList(window::ControlId list) override;
  bool ListOpen(window::ControlId list) const override;
  int ItemCount(window::ControlId list) const override;
  void AnswerMessage() override;
  void CloseWindow() override;

  // What the player asks with a gamepad.
  void OnPad(window::PadAction action) { controller_.OnPad(action); }
  // Whether the focus mark shows around a label (for the tests).
  bool LabelMarked(window::ControlId label) const;

  // Shortcuts and dialog keys, for the message loop and the event pump.
  bool Filter(MSG& message) override;

 private:
  static constexpr int kFirstControlId = 100;

  static std::size_t Index(window::ControlId id) { return static_cast<std::size_t>(id); }
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  void MakeBackdrop();
  void CreateControls();
  void CreateControl(const window::ControlDescription& control, int list_item_height);

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void PaintBackdrop(HDC target, const RECT& area) const;
  bool RouteNotice(HWND control, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void OnCommand(WPARAM wparam, LPARAM lparam);
  void OnActivate(bool active);
  void ReadPads();
  void ShowFocusCues();

  void CopyBackdrop(HDC target, const RECT& area) const override;
  void OnLabelMouseMoved(window::ControlId label) override;
  void OnLabelClicked(window::ControlId label) override;

  HINSTANCE instance_ = nullptr;
  Fonts fonts_;
  Bitmap background_;
  Bitmap check_off_;
  Bitmap check_on_;
  // The client area as it looks under the controls: the colour, then the
  // picture at its own size. Labels copy their part of it. The DC goes
  // before the bitmap selected into it.
  Bitmap backdrop_bitmap_;
  MemoryDc backdrop_;
  Brush list_brush_;
  AcceleratorTable shortcuts_;
  FocusCues cues_;
  // One of the three per control, by its kind.
  std::array<std::unique_ptr<DropDownList>, window::kControlCount> lists_;
  std::array<std::unique_ptr<PictureCheckBox>, window::kControlCount> check_boxes_;
  std::array<std::unique_ptr<TextLabel>, window::kControlCount> labels_;
  std::unique_ptr<Tooltips> tooltips_;
  HWND saved_focus_ = nullptr;
  XInputPads pads_;
  window::MainPageController controller_;
};

}  // namespace zephran::win32
