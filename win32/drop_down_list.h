#pragma once

#include <string_view>

#include "platform/windows_api.h"
#include "win32/focus_cues.h"
#include "win32/fonts.h"
#include "win32/scale.h"
#include "win32/window_base.h"
#include "window/description.h"

namespace zephran::win32 {

// A pick-only drop-down list: the system's owner-drawn combo box, drawn in
// the description's colours and font, green on black with the item under the
// mouse shown the other way round. It holds its items and its choice;
// made whole, with its description's items, so there is no moment when it
// can be filled or focused without being there.
class DropDownList final : public WindowBase {
 public:
  // Made at the description's box at `scale`; throws CreationError when
  // the system refuses. `item_height`: the height of an item in the opened
  // list.
  DropDownList(HINSTANCE instance, HWND parent, int id, const window::ControlDescription& control,
               const Fonts& fonts, const Scale& scale, int item_height, const FocusCues& cues);
  ~DropDownList() override = default;

  // The height of an item in an opened list: a line of the lists' font at
  // `scale`, as `window` shows it.
  static int ItemHeight(HWND window, const Fonts& fonts, const Scale& scale);

  // Moved to its box at another scale, in the font and with items of the
  // height of that scale.
  void Place(const Scale& scale, int item_height);

  // Adds an item at the end without changing the choice.
  void Append(std::string_view text);
  // Chooses an item (-1: none) without a selection notice.
  void Select(int index);
  // The chosen item, -1 when none.
  int Selected() const;
  int Count() const;

  // Opened and walked without the mouse: an item highlighted (the closed
  // box shows it too, as when the arrow keys walk an opened list), closed
  // without a pick, back on the item it had when opened.
  void Open();
  void Highlight(int index);
  void CloseUnchanged();
  bool IsOpen() const;

  // WM_DRAWITEM; WM_MEASUREITEM.
  bool OnNotice(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void AddItem(const std::wstring& text);
  void FitClosedHeight(int height);
  void FitDroppedWidth(const std::wstring& text);
  void Draw(const DRAWITEMSTRUCT& item) const;

  const window::ControlDescription& control_;
  const Fonts& fonts_;
  const FocusCues& cues_;
  Scale scale_;
  int item_height_ = 0;
  int selected_when_opened_ = -1;
};

}  // namespace zephran::win32
