#pragma once

#include <QPixmap>
#include <QWidget>

#include "core/launch.h"
#include "core/launcher_state.h"
#include "platform/platform.h"
#include "ui/drop_down_list.h"
#include "ui/picture_check_box.h"
#include "ui/text_label.h"

class QEvent;
class QMouseEvent;
class QPaintEvent;

namespace zephran::ui {

// The launcher's one window: a fixed-size picture with fifteen controls at
// fixed places. The controls keep the names they go by everywhere else in
// the program (also set as their object names).
class MainPage : public QWidget {
  Q_OBJECT

 public:
  explicit MainPage(platform::Platform& platform, QWidget* parent = nullptr);

  // Start-up, before the window is first shown: finds the game, then shows
  // its settings and save slots in the controls.
  void Load();

  // Shows the window with its frame centred on the screen it belongs to.
  void ShowCentred();

  const core::LauncherState& State() const { return state_; }

  // Keyboard chords for the two text buttons.
  static constexpr QKeyCombination kNewGameKeys{Qt::CTRL, Qt::Key_N};
  static constexpr QKeyCombination kLoadGameKeys{Qt::CTRL, Qt::Key_L};

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

 signals:
  // The mouse moved over a point of the window that lies in no control's box.
  void backgroundMouseMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetUpWindow();
  void SetUpStackingAndFocusOrder();
  void ConnectHandlers();
  void HighlightButton(TextLabel* highlighted);
  void LaunchNewGame();
  void LaunchSavedGame();
  core::LaunchChoices Choices() const;

  platform::Platform& platform_;
  core::LauncherState state_;
  QPixmap background_;
  bool activated_ = false;
};

}  // namespace zephran::ui
