#include "win32/drop_down_list.h"

#include <string>

#include "platform/windows_text.h"
#include "win32/accessibility.h"
#include "win32/colours.h"
#include "win32/gdi.h"
#include "win32/list_items.h"
#include "win32/scaled_text.h"

namespace zephran::win32 {

namespace {

// Where an item's text starts, in pixels at 96 dpi: in the opened list,
// after a small margin; in the closed box, where the Linux box puts it (see
// ClosedBoxField).
constexpr int kItemTextLeft = 2;
constexpr int kItemTextRight = 4;
constexpr int kClosedTextLeft = 3;
constexpr int kClosedTextTop = 1;

// Lays the closed box's text out as the Linux box does: from 3 px inside the
// box's left edge to the arrow button, centred between 1 px inside its top
// and bottom. The system keeps a margin around the field it hands over,
// which would show less of a long item: the drawing is let into it,
// between the frame and the button. Rectangles in the field's coordinates.
void ClosedBoxField(const DRAWITEMSTRUCT& item, const window::Box& described, const Scale& scale,
                    RECT& field, RECT& text) {
  COMBOBOXINFO parts{};
  parts.cbSize = sizeof parts;
  RECT box{};
  if (::GetComboBoxInfo(item.hwndItem, &parts) == FALSE ||
      ::GetWindowRect(item.hwndItem, &box) == FALSE) {
    return;
  }
  POINT client{0, 0};
  ::MapWindowPoints(item.hwndItem, nullptr, &client, 1);
  // The box's corner in the coordinates the drawing uses.
  const int left = box.left - client.x;
  const int top = box.top - client.y;
  const int bottom = top + (box.bottom - box.top);
  field = {left + ::GetSystemMetrics(SM_CXEDGE), top + ::GetSystemMetrics(SM_CYEDGE),
           parts.rcButton.left, bottom - ::GetSystemMetrics(SM_CYEDGE)};
  // The margins as far as they reach at 96 dpi, scaled from where they end
  // there: the text's height is then the scaled one, not twice rounded.
  const int bottom_at = described.y + described.height;
  text = {left + scale.Px(described.x + kClosedTextLeft) - scale.Px(described.x),
          top + scale.Px(described.y + kClosedTextTop) - scale.Px(described.y), parts.rcButton.left,
          bottom - (scale.Px(bottom_at) - scale.Px(bottom_at - kClosedTextTop))};
  ::SelectClipRgn(item.hDC, nullptr);
  ::IntersectClipRect(item.hDC, field.left, field.top, field.right, field.bottom);
}

}  // namespace

DropDownList::DropDownList(HINSTANCE instance, HWND parent, int id,
                           const window::ControlDescription& control, const Fonts& fonts,
                           const Scale& scale, int item_height, const FocusCues& cues)
    : control_(control), fonts_(fonts), cues_(cues), scale_(scale), item_height_(item_height) {
  const RECT box = scale.Of(control.box);
  // Screen readers name a combo box after the static text just above it
  // in the z-order, where a dialog puts its caption; ours are drawn by
  // our own label class, so the list gets a static that is never shown.
  // It goes with the window.
  const std::wstring name = platform::Utf16FromUtf8(control.accessible_name);
  Checked(::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | SS_NOPREFIX, box.left, box.top,
                            0, 0, parent, nullptr, instance, nullptr),
          "a list's name");
  // The height given here bounds the opened list: the system shrinks it to
  // its items, so room for twice the eight save slots is never cut short,
  // whatever the frame and font. Every item fits: no scroll bar.
  CreateControl(instance, L"COMBOBOX",
                {parent, id,
                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | CBS_DROPDOWNLIST |
                     CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                 0, nullptr, box.left, box.top, box.right - box.left,
                 box.bottom - box.top + 16 * item_height_},
                "a drop-down list");
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(control.font, scale_)),
                 FALSE);
  ::SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, item_height_);
  FitClosedHeight(box.bottom - box.top);
  for (const std::string_view item : control.items) {
    Append(item);
  }
  AttachAccessibility(Handle(), control.id, {});
}

int DropDownList::ItemHeight(HWND window, const Fonts& fonts, const Scale& scale) {
  // A line of the lists' font at 96 dpi and a pixel above and below, scaled
  // as the text in it is.
  const WindowDc screen(window);
  const Selection font(
      screen.Get(), fonts.Get(window::Describe(window::ControlId::ListChoixResol).font, Scale()));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(screen.Get(), &metrics);
  return scale.Px(metrics.tmHeight + 2);
}

void DropDownList::Place(const Scale& scale, int item_height) {
  const RECT box = scale.Of(control_.box);
  scale_ = scale;
  item_height_ = item_height;
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(control_.font, scale_)),
                 FALSE);
  ::SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, item_height_);
  // The height given bounds the opened list, as when made.
  ::MoveWindow(Handle(), box.left, box.top, box.right - box.left,
               box.bottom - box.top + 16 * item_height_, TRUE);
  FitClosedHeight(box.bottom - box.top);
  ::SendMessageW(Handle(), CB_SETDROPPEDWIDTH, 0, 0);
  for (int index = 0; index < Count(); ++index) {
    FitDroppedWidth(ItemText(Handle(), index));
  }
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void DropDownList::FitClosedHeight(int height) {
  // The closed box is its field plus a frame whose size the system decides
  // (and the font changes it): set, measure, correct.
  LRESULT field = height - 6;
  for (int attempt = 0; attempt < 3; ++attempt) {
    ::SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    RECT outer{};
    ::GetWindowRect(Handle(), &outer);
    const int measured = outer.bottom - outer.top;
    if (measured == height) {
      return;
    }
    field += height - measured;
  }
}

void DropDownList::Append(std::string_view text) {
  AddItem(platform::Utf16FromUtf8(text));
}

void DropDownList::AddItem(const std::wstring& text) {
  ::SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  FitDroppedWidth(text);
}

void DropDownList::FitDroppedWidth(const std::wstring& text) {
  // The opened list is as wide as its longest item, and never narrower
  // than the box: a long save name can be read there whole.
  const WindowDc screen(nullptr);
  const Selection font(screen.Get(), fonts_.Get(control_.font, scale_));
  SIZE extent{};
  ::GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
  const LRESULT needed = extent.cx + scale_.Px(kItemTextLeft) + scale_.Px(kItemTextRight) +
                         2 * ::GetSystemMetrics(SM_CXBORDER);
  if (needed > ::SendMessageW(Handle(), CB_GETDROPPEDWIDTH, 0, 0)) {
    ::SendMessageW(Handle(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(needed), 0);
  }
}

void DropDownList::Select(int index) {
  // Sends no selection notice, so no handler runs twice.
  ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int DropDownList::Selected() const {
  return static_cast<int>(::SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

int DropDownList::Count() const {
  return static_cast<int>(::SendMessageW(Handle(), CB_GETCOUNT, 0, 0));
}

void DropDownList::Open() {
  selected_when_opened_ = Selected();
  ::SendMessageW(Handle(), CB_SHOWDROPDOWN, TRUE, 0);
}

void DropDownList::Highlight(int index) {
  Select(index);
}

void DropDownList::CloseUnchanged() {
  ::SendMessageW(Handle(), CB_SHOWDROPDOWN, FALSE, 0);
  Select(selected_when_opened_);
}

bool DropDownList::IsOpen() const {
  return ::SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

bool DropDownList::OnNotice(UINT message, WPARAM /*wparam*/, LPARAM lparam, LRESULT& result) {
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(item_height_);
    result = TRUE;
    return true;
  }
  if (message == WM_DRAWITEM) {
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    result = TRUE;
    return true;
  }
  return false;
}

void DropDownList::Draw(const DRAWITEMSTRUCT& item) const {
  const bool closed = (item.itemState & ODS_COMBOBOXEDIT) != 0;
  RECT area = item.rcItem;
  RECT text_area = area;
  text_area.left += scale_.Px(kItemTextLeft);
  if (closed) {
    ClosedBoxField(item, control_.box, scale_, area, text_area);
  }
  // The closed box always shows green on black; in the opened list the item
  // under the mouse is shown the other way round.
  const bool inverted = (item.itemState & ODS_SELECTED) != 0 && !closed;
  const COLORREF text = ToColorRef(control_.text_colour);
  const COLORREF back = ToColorRef(control_.background);
  FillColour(item.hDC, area, inverted ? text : back);
  const std::wstring words =
      item.itemID != static_cast<UINT>(-1) ? ItemText(item.hwndItem, item.itemID) : std::wstring();
  if (!words.empty()) {
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, inverted ? back : text);
    DrawScaledText(item.hDC, words, text_area, 0, fonts_.Face(control_.font, scale_), scale_,
                   DT_SINGLELINE | DT_VCENTER);
  }
  if (closed && cues_.Shows(item)) {
    ::DrawFocusRect(item.hDC, &item.rcItem);
  }
}

}  // namespace zephran::win32
