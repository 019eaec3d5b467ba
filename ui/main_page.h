#pragma once

#include <array>
#include <string_view>

#include <QKeyCombination>
#include <QWidget>

#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"
#include "ui/drop_down_list.h"
#include "ui/picture_check_box.h"
#include "ui/text_label.h"
#include "window/controller.h"
#include "window/description.h"
#include "window/view.h"

class QEvent;
class QMouseEvent;
class QPaintEvent;

namespace zephran::ui {

// The launcher's one window in Qt: it builds its controls from the window's
// description, forwards the player's actions to the controller and carries
// out what the controller asks of the view. The controls keep the names they
// go by everywhere else in the program (also set as their object names).
class MainPage : public QWidget, public window::MainPageView {
  Q_OBJECT

 public:
  MainPage(platform::Platform& platform, core::WindowServices& window, QWidget* parent = nullptr);

  // Start-up, before the window is first shown.
  void Load();

  // Shows the window with its frame centred on the screen it belongs to.
  void ShowCentred();

  const core::LauncherState& State() const { return controller_.State(); }

  // What the player asks with a gamepad.
  void OnPad(window::PadAction action) { controller_.OnPad(action); }

  // Keyboard chords for the two text buttons, and the help key for the
  // read-me link.
  static constexpr QKeyCombination kNewGameKeys{Qt::CTRL, Qt::Key_N};
  static constexpr QKeyCombination kLoadGameKeys{Qt::CTRL, Qt::Key_L};
  static constexpr QKeyCombination kReadMeKeys{Qt::Key_F1};

  // The view, for the controller.
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

 private:
  // Built first: the named controls below point into it.
  const std::array<QWidget*, window::kControlCount> controls_;

 public:
  // The controls, in the order the window holds them.
  DropDownList* const ListCol;
  PictureCheckBox* const ModeFenet;
  PictureCheckBox* const ModeCinema;
  PictureCheckBox* const ModeSousT;
  DropDownList* const ListSlot;
  DropDownList* const ListChoixResol;
  TextLabel* const TextCol;
  TextLabel* const Lien_txt;
  TextLabel* const beta;
  TextLabel* const BoutLancerNouveau;
  TextLabel* const BoutLoad;
  TextLabel* const TexteST;
  TextLabel* const TexteCinema;
  TextLabel* const TextFenetre;
  TextLabel* const TextResol;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // The lists' and check boxes' focus and keys, for the pad's cursor.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::array<QWidget*, window::kControlCount> BuildControls();
  QWidget* Control(window::ControlId id) const { return controls_[static_cast<int>(id)]; }
  template <typename Widget>
  Widget* Control(window::ControlId id) const {
    return static_cast<Widget*>(Control(id));
  }
  void SetUpWindow();
  void SetUpStackingAndFocusOrder();
  void SetUpCaptions();
  void ForwardEvents();

  window::MainPageController controller_;
};

}  // namespace zephran::ui
