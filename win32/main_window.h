#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/window_services.h"
#include "platform/platform.h"
#include "platform/windows_api.h"
#include "win32/fonts.h"
#include "win32/gdi.h"
#include "win32/text_label.h"
#include "win32/window_services.h"
#include "window/controller.h"
#include "window/description.h"
#include "window/view.h"

namespace zephran::win32 {

// The launcher's window over plain Win32 controls, built from the window's
// description: drop-down lists are owner-drawn combo boxes (shown first as
// pictures of themselves, see CompleteControls), check boxes owner-drawn
// buttons whose value the window keeps, labels a small window class of our
// own that paints its text over the background picture.
class MainWindow final : public window::MainPageView, public MessageFilter, private TextLabelHost {
 public:
  // Creates the window hidden, centred on the work area; the program runs
  // Load() and then ShowCentred().
  // Throws CreationError when the system refuses any part of it.
  MainWindow(HINSTANCE instance, platform::Platform& platform, core::WindowServices& services);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow() override = default;

  HWND Handle() const { return window_.Get(); }
  HWND Control(window::ControlId id) const { return controls_[Index(id)]; }
  const core::LauncherState& State() const { return controller_.State(); }
  const Fonts& FontSet() const { return fonts_; }
  // What a label is painted in now.
  COLORREF TextColour(window::ControlId label) const { return colours_[Index(label)]; }

  void Load() { controller_.Load(); }
  // Show() and then CompleteControls(): what the program does.
  void ShowCentred();
  // Shows the window, its lists still as pictures of themselves.
  void Show();
  // Puts the real drop-down lists in their pictures' places and gives the
  // controls their tooltips.
  void CompleteControls();

  void AppendItem(window::ControlId list, std::string_view text) override;
  void SelectItem(window::ControlId list, int index) override;
  int SelectedItem(window::ControlId list) const override;
  int CheckValue(window::ControlId check_box) const override;
  void SetCheckValue(window::ControlId check_box, int value) override;
  void SetTextColour(window::ControlId label, window::Colour colour) override;
  void Focus(window::ControlId control) override;

  // Shortcuts and dialog keys, for the message loop and the event pump.
  bool Filter(MSG& message) override;

 private:
  static constexpr int kFirstControlId = 100;

  static std::size_t Index(window::ControlId id) { return static_cast<std::size_t>(id); }
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  void RegisterWindowClass() const;
  void MakeBackdrop();
  void CreateControls();
  HWND CreateControl(const window::ControlDescription& control);
  void CreateListStandIn(const window::ControlDescription& control, HMENU id);
  void CreateLists();
  HWND CreateList(const window::ControlDescription& control, HMENU id);
  void AddItem(HWND list, const window::ControlDescription& control,
               const std::wstring& text) const;
  void FitClosedHeight(HWND list, int height) const;
  void CreateTooltips();
  void AddTooltip(HWND control, std::string_view text);

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(WPARAM wparam, LPARAM lparam);
  void OnActivate(bool active);
  void ShowFocusCues();
  bool ShowsFocus(const DRAWITEMSTRUCT& item) const;
  void DrawList(const DRAWITEMSTRUCT& item) const;
  void DrawStandIn(const DRAWITEMSTRUCT& item) const;
  void DrawItem(HDC dc, const window::ControlDescription& list, const RECT& area,
                const RECT& text_area, bool inverted, const std::wstring& words) const;
  void DrawCheckBox(const DRAWITEMSTRUCT& item) const;
  std::optional<window::ControlId> IdOf(HWND control) const;

  void CopyBackdrop(HDC target, const RECT& area) const override;
  COLORREF LabelColour(HWND label) const override;
  void OnLabelMouseMoved(HWND label) override;
  void OnLabelClicked(HWND label) override;

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
  int list_item_height_ = 16;
  std::array<COLORREF, window::kControlCount> colours_{};
  std::array<int, window::kControlCount> checks_{};
  std::array<std::wstring, window::kControlCount> tips_{};
  AcceleratorTable shortcuts_;
  // Destroyed before the fonts and pictures its controls use; the window
  // and its controls go with it (the tooltip too: the window owns it).
  OwnedWindow window_;
  std::array<HWND, window::kControlCount> controls_{};
  // A list's items and choice, kept here until its real list exists (see
  // CreateListStandIn); from then on the list holds them.
  struct ListContent {
    std::vector<std::wstring> items;
    int selected = -1;
  };
  std::array<ListContent, window::kControlCount> lists_{};
  std::array<HWND, window::kControlCount> stand_ins_{};
  HWND tooltip_ = nullptr;
  HWND saved_focus_ = nullptr;
  // Focus marks show once a key has been pressed in the window.
  bool keyboard_used_ = false;
  window::MainPageController controller_;
};

}  // namespace zephran::win32
