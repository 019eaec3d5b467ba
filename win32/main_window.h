#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/window_services.h"
#include "platform/platform.h"
#include "platform/windows_api.h"
#include "win32/fonts.h"
#include "win32/window_services.h"
#include "window/controller.h"
#include "window/description.h"
#include "window/view.h"

namespace zephran::win32 {

// The launcher's window over plain Win32 controls, built from the window's
// description: drop-down lists are owner-drawn combo boxes, check boxes
// owner-drawn buttons whose value the window keeps, labels a small window
// class of our own that paints its text over the background picture.
class MainWindow final : public window::MainPageView, public MessageFilter {
 public:
  // Creates the window hidden; the program runs Load() and then ShowCentred().
  MainWindow(HINSTANCE instance, platform::Platform& platform, core::WindowServices& services);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow() override;

  HWND Handle() const { return window_; }
  HWND Control(window::ControlId id) const { return controls_[Index(id)]; }
  const core::LauncherState& State() const { return controller_.State(); }
  const Fonts& FontSet() const { return fonts_; }
  // What a label is painted in now.
  COLORREF TextColour(window::ControlId label) const { return colours_[Index(label)]; }

  void Load() { controller_.Load(); }
  void ShowCentred();

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
  static LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wparam, LPARAM lparam);

  void RegisterClasses() const;
  void MakeBackdrop();
  void CreateControls();
  HWND CreateControl(const window::ControlDescription& control);
  void FitClosedHeight(HWND list, int height) const;
  void AddTooltip(HWND control, std::string_view text);

  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnLabelMessage(HWND label, UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(WPARAM wparam, LPARAM lparam);
  void OnActivate(bool active);
  void DrawList(const DRAWITEMSTRUCT& item) const;
  void DrawCheckBox(const DRAWITEMSTRUCT& item) const;
  void PaintLabel(HWND label, HDC target) const;
  std::optional<window::ControlId> IdOf(HWND control) const;

  HINSTANCE instance_ = nullptr;
  Fonts fonts_;
  HBITMAP background_ = nullptr;
  HBITMAP check_off_ = nullptr;
  HBITMAP check_on_ = nullptr;
  // The client area as it looks under the controls: the colour, then the
  // picture at its own size. Labels copy their part of it.
  HDC backdrop_ = nullptr;
  HBITMAP backdrop_bitmap_ = nullptr;
  HGDIOBJ backdrop_old_ = nullptr;
  HBRUSH list_brush_ = nullptr;
  int list_item_height_ = 16;
  std::array<COLORREF, window::kControlCount> colours_{};
  std::array<int, window::kControlCount> checks_{};
  std::array<bool, window::kControlCount> pressed_{};
  std::array<std::wstring, window::kControlCount> tips_{};
  HWND window_ = nullptr;
  std::array<HWND, window::kControlCount> controls_{};
  HWND tooltip_ = nullptr;
  HACCEL shortcuts_ = nullptr;
  HWND saved_focus_ = nullptr;
  window::MainPageController controller_;
};

}  // namespace zephran::win32
