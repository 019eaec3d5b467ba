#include "win32/main_window.h"

#include <commctrl.h>

#include <string>

#include "platform/windows_text.h"
#include "win32/accessibility.h"
#include "win32/list_items.h"
#include "win32/resources.h"
#include "win32/system_library.h"

namespace zephran::win32 {

namespace {

using window::ControlDescription;
using window::ControlId;
using window::ControlKind;

constexpr wchar_t kWindowClass[] = L"ZephranMainPage";

// Keyboard chords of the two text buttons and the help key of the link,
// which the Tab key never reaches.
constexpr WORD kNewGameCommand = 300;
constexpr WORD kLoadGameCommand = 301;
constexpr WORD kReadMeCommand = 302;

// A fixed frame with a title and a close box. The dialog frame asks for no
// default icon in the title bar; the program's icon goes only to the task
// bar and Alt+Tab (see WindowProc).
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

// Where an item's text starts: in the opened list, after a small margin; in
// the closed box, where the Linux box puts it (see ClosedBoxField).
constexpr int kItemTextLeft = 2;
constexpr int kItemTextRight = 4;
constexpr int kClosedTextLeft = 3;
constexpr int kClosedTextTop = 1;

// Controls overlap ("Colors :" reaches under its list): each paints only
// where no control above it lies.
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

COLORREF ToColorRef(window::Colour colour) {
  if (colour.system_button_text) {
    return ::GetSysColor(COLOR_BTNTEXT);
  }
  return RGB((colour.rgb >> 16) & 0xFF, (colour.rgb >> 8) & 0xFF, colour.rgb & 0xFF);
}

Bitmap LoadPicture(HINSTANCE instance, int id, const char* what) {
  return Bitmap(Checked(static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(id),
                                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)),
                        what));
}

// The program's icon at the size the task bar and Alt+Tab ask for; the
// system keeps one copy for the process.
HICON ProgramIcon(HINSTANCE instance) {
  return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(ZEPHRAN_ICON), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXICON),
                                         ::GetSystemMetrics(SM_CYICON), LR_SHARED));
}

// Copies a picture centred into a rectangle, moved by `shift` pixels.
void DrawCentred(HDC target, HBITMAP picture, const RECT& area, int shift) {
  BITMAP size{};
  ::GetObjectW(picture, sizeof size, &size);
  const MemoryDc source(::CreateCompatibleDC(target));
  if (source.Get() == nullptr) {
    return;  // the system is short of memory; the next paint tries again
  }
  const Selection in(source.Get(), picture);
  const int x = area.left + (area.right - area.left - size.bmWidth) / 2 + shift;
  const int y = area.top + (area.bottom - area.top - size.bmHeight) / 2 + shift;
  ::BitBlt(target, x, y, size.bmWidth, size.bmHeight, source.Get(), 0, 0, SRCCOPY);
}

// The closed box's field (inside its frame, up to the arrow button) and
// where its text goes, from the box's outer rectangle: for the real list and
// for its picture alike.
void ClosedBoxRects(const RECT& box, int button_left, RECT& field, RECT& text) {
  field = {box.left + ::GetSystemMetrics(SM_CXEDGE), box.top + ::GetSystemMetrics(SM_CYEDGE),
           button_left, box.bottom - ::GetSystemMetrics(SM_CYEDGE)};
  text = {box.left + kClosedTextLeft, box.top + kClosedTextTop, button_left,
          box.bottom - kClosedTextTop};
}

// Lays the closed box's text out as the Linux box does: from 3 px inside the
// box's left edge to the arrow button, centred between 1 px inside its top
// and bottom. The system keeps a margin around the field it hands over,
// which would show less of a long item: the drawing is let into it,
// between the frame and the button. Rectangles in the field's coordinates.
void ClosedBoxField(const DRAWITEMSTRUCT& item, RECT& field, RECT& text) {
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
  const int height = box.bottom - box.top;
  ClosedBoxRects({left, top, left + (box.right - box.left), top + height}, parts.rcButton.left,
                 field, text);
  ::SelectClipRgn(item.hDC, nullptr);
  ::IntersectClipRect(item.hDC, field.left, field.top, field.right, field.bottom);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, platform::Platform& platform,
                       core::WindowServices& services)
    : instance_(instance),
      fonts_(instance),
      background_(LoadPicture(instance, ZEPHRAN_BACKGROUND, "the background picture")),
      check_off_(LoadPicture(instance, ZEPHRAN_CHECK_OFF, "the check box pictures")),
      check_on_(LoadPicture(instance, ZEPHRAN_CHECK_ON, "the check box pictures")),
      list_brush_(
          ::CreateSolidBrush(ToColorRef(window::Describe(ControlId::ListChoixResol).background))),
      controller_(platform, services, *this) {
  Checked(list_brush_.Get(), "the lists' background");
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    colours_[Index(control.id)] = ToColorRef(control.text_colour);
  }
  RegisterWindowClass();

  const window::WindowDescription& description = window::MainPageDescription();
  RECT frame{0, 0, description.client_width, description.client_height};
  ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  const std::wstring title = platform::Utf16FromUtf8(description.title);
  // Made where it will show, centred on the work area: moving it there
  // later costs Wine a round of window updates before the window appears.
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT screen{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  const int x = screen.left + (screen.right - screen.left - width) / 2;
  const int y = screen.top + (screen.bottom - screen.top - height) / 2;
  // WM_NCCREATE hands the handle to window_, so that even a creation that
  // fails half-way leaves nothing behind.
  Checked(::CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle, x, y, width,
                            height, nullptr, nullptr, instance, this),
          "the main window");
  MakeBackdrop();
  CreateControls();
  const ACCEL chords[] = {{FCONTROL | FVIRTKEY, 'N', kNewGameCommand},
                          {FCONTROL | FVIRTKEY, 'L', kLoadGameCommand},
                          {FVIRTKEY, VK_F1, kReadMeCommand}};
  shortcuts_.Reset(
      Checked(::CreateAcceleratorTableW(const_cast<ACCEL*>(chords), 3), "the keyboard shortcuts"));
  // No focus marks until the keyboard is used (see ShowsFocus), for the
  // parts the system draws too.
  ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
}

void MainWindow::RegisterWindowClass() const {
  WNDCLASSEXW known{};
  known.cbSize = sizeof known;
  if (::GetClassInfoExW(instance_, kWindowClass, &known) != FALSE) {
    return;  // a second window (tests)
  }
  // No icon of the class: the title bar shows none (see WindowProc).
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = WindowProc;
  main.hInstance = instance_;
  main.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  main.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&main) == 0) {
    throw CreationError("the main window's class");
  }
}

void MainWindow::MakeBackdrop() {
  const window::WindowDescription& description = window::MainPageDescription();
  {
    const WindowDc screen(Handle());
    backdrop_ = MakeMemoryDc(screen.Get(), "the window's background");
    backdrop_bitmap_.Reset(Checked(
        ::CreateCompatibleBitmap(screen.Get(), description.client_width, description.client_height),
        "the window's background"));
  }
  // Stays selected for the DC's life.
  ::SelectObject(backdrop_.Get(), backdrop_bitmap_.Get());
  const RECT all{0, 0, description.client_width, description.client_height};
  FillColour(backdrop_.Get(), all, ToColorRef(description.background));
  // At its own size from the top-left corner: neither stretched nor tiled.
  const MemoryDc picture = MakeMemoryDc(backdrop_.Get(), "the window's background");
  const Selection in(picture.Get(), background_.Get());
  BITMAP size{};
  ::GetObjectW(background_.Get(), sizeof size, &size);
  ::BitBlt(backdrop_.Get(), 0, 0, size.bmWidth, size.bmHeight, picture.Get(), 0, 0, SRCCOPY);
}

void MainWindow::CreateControls() {
  {
    const WindowDc screen(Handle());
    const Selection font(screen.Get(),
                         fonts_.Get(window::Describe(ControlId::ListChoixResol).font));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen.Get(), &metrics);
    list_item_height_ = metrics.tmHeight + 2;
  }
  // Siblings made later lie below the earlier ones, and the Tab key walks
  // them from the top: made top first, the lists and check boxes come in
  // their Tab order and above every label.
  const auto& order = window::MainPageDescription().bottom_to_top;
  for (auto id = order.rbegin(); id != order.rend(); ++id) {
    const ControlDescription& control = window::Describe(*id);
    HWND made = CreateControl(control);
    if (made == nullptr) {
      continue;  // a list: its picture stands in until ShowCentred
    }
    controls_[Index(*id)] = made;
    AttachAccessibility(made, *id, [this](ControlId box) { return CheckValue(box); });
  }
}

HWND MainWindow::CreateControl(const ControlDescription& control) {
  const auto& box = control.box;
  const int number = kFirstControlId + static_cast<int>(control.id);
  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(number));
  switch (control.kind) {
    case ControlKind::kList:
      CreateListStandIn(control, id);
      return nullptr;
    case ControlKind::kCheckBox: {
      // The name is not drawn; assistive technology reads it.
      const std::wstring name = platform::Utf16FromUtf8(control.accessible_name);
      return Checked(
          ::CreateWindowExW(0, L"BUTTON", name.c_str(), kChildStyle | WS_TABSTOP | BS_OWNERDRAW,
                            box.x, box.y, box.width, box.height, Handle(), id, instance_, nullptr),
          "a check box");
    }
    case ControlKind::kLabel: {
      return CreateTextLabel(instance_, Handle(), number, platform::Utf16FromUtf8(control.text),
                             box, fonts_.Get(control.font), fonts_.TextShift(control.font), *this);
    }
  }
  return nullptr;
}

void MainWindow::CreateListStandIn(const ControlDescription& control, HMENU id) {
  const auto& box = control.box;
  // Screen readers name a combo box after the static text just above it
  // in the z-order, where a dialog puts its caption; ours are drawn by
  // our own label class, so the list gets a static that is never shown.
  const std::wstring name = platform::Utf16FromUtf8(control.accessible_name);
  Checked(::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | SS_NOPREFIX, box.x, box.y, 0, 0,
                            Handle(), nullptr, instance_, nullptr),
          "a list's name");
  // A real drop-down list brings a pop-up window of its own, which Wine
  // makes an X window at once: made here, the three showed the window about
  // 30 ms later. Until the window shows, a picture of the closed list holds
  // its place, drawn as the list draws itself (see DrawStandIn), and
  // ShowCentred puts the real list there before any input is handled.
  for (const std::string_view item : control.items) {
    lists_[Index(control.id)].items.push_back(platform::Utf16FromUtf8(item));
  }
  stand_ins_[Index(control.id)] =
      Checked(::CreateWindowExW(0, L"STATIC", nullptr, kChildStyle | SS_OWNERDRAW, box.x, box.y,
                                box.width, box.height, Handle(), id, instance_, nullptr),
              "a drop-down list");
}

void MainWindow::CreateLists() {
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    if (control.kind != ControlKind::kList || Control(control.id) != nullptr) {
      continue;
    }
    HWND stand_in = stand_ins_[Index(control.id)];
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(::GetDlgCtrlID(stand_in)));
    HWND list = CreateList(control, id);
    // Into the picture's place in the z-order (the Tab order, and just
    // below its name), shown only once complete; the picture then goes,
    // uncovering the same pixels.
    ::SetWindowPos(list, stand_in, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::DestroyWindow(stand_in);
    stand_ins_[Index(control.id)] = nullptr;
  }
}

HWND MainWindow::CreateList(const ControlDescription& control, HMENU id) {
  const auto& box = control.box;
  // The height given here bounds the opened list: the system shrinks it to
  // its items, so room for twice the eight save slots is never cut short,
  // whatever the frame and font. Every item fits: no scroll bar.
  HWND list =
      Checked(::CreateWindowExW(0, L"COMBOBOX", nullptr,
                                WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | CBS_DROPDOWNLIST |
                                    CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                box.x, box.y, box.width, box.height + 16 * list_item_height_,
                                Handle(), id, instance_, nullptr),
              "a drop-down list");
  ::SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(control.font)), FALSE);
  ::SendMessageW(list, CB_SETITEMHEIGHT, 0, list_item_height_);
  FitClosedHeight(list, box.height);
  controls_[Index(control.id)] = list;
  const ListContent& content = lists_[Index(control.id)];
  for (const std::wstring& item : content.items) {
    AddItem(list, control, item);
  }
  ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(content.selected), 0);
  AttachAccessibility(list, control.id, [this](ControlId box) { return CheckValue(box); });
  return list;
}

void MainWindow::FitClosedHeight(HWND list, int height) const {
  // The closed box is its field plus a frame whose size the system decides
  // (and the font changes it): set, measure, correct.
  LRESULT field = height - 6;
  for (int attempt = 0; attempt < 3; ++attempt) {
    ::SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    RECT outer{};
    ::GetWindowRect(list, &outer);
    const int measured = outer.bottom - outer.top;
    if (measured == height) {
      return;
    }
    field += height - measured;
  }
}

void MainWindow::AddTooltip(HWND control, std::string_view text) {
  if (text.empty() || tooltip_ == nullptr) {
    return;
  }
  std::wstring& kept = tips_[Index(*IdOf(control))];
  kept = platform::Utf16FromUtf8(text);
  TTTOOLINFOW tool{};
  // The size the common controls of every Windows version accept.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.hinst = instance_;
  tool.lpszText = kept.data();
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::ShowCentred() {
  Show();
  CompleteControls();
}

void MainWindow::Show() {
  // Made centred (see the constructor).
  ::ShowWindow(Handle(), SW_SHOW);
  ::UpdateWindow(Handle());
}

void MainWindow::CompleteControls() {
  CreateLists();
  // A tip shows only after the pointer has rested on a control, which needs
  // the message loop: made now, nothing looks different, and its pop-up (an
  // X window of its own under Wine) does not delay the window's appearance.
  CreateTooltips();
}

void MainWindow::CreateTooltips() {
  if (tooltip_ != nullptr) {
    return;
  }
  // The common controls are loaded for the tooltips alone, now that the
  // window shows: imported, they would be loaded, and their classes
  // registered, before the window could appear.
  const auto init_common_controls = LoadSystemFunction<decltype(&::InitCommonControlsEx)>(
      L"comctl32.dll", "InitCommonControlsEx");
  const INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  if (init_common_controls == nullptr || init_common_controls(&common) == FALSE) {
    throw CreationError("the tooltips");
  }
  tooltip_ = Checked(
      ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, instance_, nullptr),
      "the tooltips");
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    AddTooltip(Control(control.id), control.tooltip);
  }
}

void MainWindow::AppendItem(ControlId list, std::string_view text) {
  lists_[Index(list)].items.push_back(platform::Utf16FromUtf8(text));
  if (HWND control = Control(list); control != nullptr) {
    AddItem(control, window::Describe(list), lists_[Index(list)].items.back());
  }
}

void MainWindow::AddItem(HWND list, const ControlDescription& control,
                         const std::wstring& text) const {
  ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // The opened list is as wide as its longest item, and never narrower
  // than the box: a long save name can be read there whole.
  // Measured on the backdrop's DC, which is at hand and like the screen.
  const Selection font(backdrop_.Get(), fonts_.Get(control.font));
  SIZE extent{};
  ::GetTextExtentPoint32W(backdrop_.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
  const LRESULT needed =
      extent.cx + kItemTextLeft + kItemTextRight + 2 * ::GetSystemMetrics(SM_CXBORDER);
  if (needed > ::SendMessageW(list, CB_GETDROPPEDWIDTH, 0, 0)) {
    ::SendMessageW(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(needed), 0);
  }
}

void MainWindow::SelectItem(ControlId list, int index) {
  if (HWND control = Control(list); control != nullptr) {
    // Sends no selection notice, so no handler runs twice.
    ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return;
  }
  const auto count = static_cast<int>(lists_[Index(list)].items.size());
  lists_[Index(list)].selected = index >= 0 && index < count ? index : -1;
  ::InvalidateRect(stand_ins_[Index(list)], nullptr, FALSE);
}

int MainWindow::SelectedItem(ControlId list) const {
  // Once the real list exists, it holds the choice.
  if (HWND control = Control(list); control != nullptr) {
    return static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
  }
  return lists_[Index(list)].selected;
}

int MainWindow::CheckValue(ControlId check_box) const {
  return checks_[Index(check_box)];
}

void MainWindow::SetCheckValue(ControlId check_box, int value) {
  checks_[Index(check_box)] = value;
  ::InvalidateRect(Control(check_box), nullptr, FALSE);
}

void MainWindow::SetTextColour(ControlId label, window::Colour colour) {
  const COLORREF wanted = ToColorRef(colour);
  if (colours_[Index(label)] == wanted) {
    return;
  }
  colours_[Index(label)] = wanted;
  ::InvalidateRect(Control(label), nullptr, FALSE);
}

void MainWindow::Focus(ControlId control) {
  if (HWND target = Control(control); target != nullptr) {
    ::SetFocus(target);
  }
}

bool MainWindow::Filter(MSG& message) {
  if (::IsWindow(Handle()) == FALSE) {
    return false;
  }
  if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
    ShowFocusCues();
  }
  return ::TranslateAcceleratorW(Handle(), shortcuts_.Get(), &message) != 0 ||
         ::IsDialogMessageW(Handle(), &message) != FALSE;
}

void MainWindow::ShowFocusCues() {
  if (keyboard_used_) {
    return;
  }
  keyboard_used_ = true;
  ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
  if (HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(Handle(), focus) != FALSE) {
    ::InvalidateRect(focus, nullptr, FALSE);
  }
}

bool MainWindow::ShowsFocus(const DRAWITEMSTRUCT& item) const {
  // Windows keeps a window's focus marks hidden until the keyboard is used
  // in it (the UI state). Wine keeps no such state and starts with them
  // shown; the window's own flag gives both the same behaviour.
  if (!keyboard_used_ || (item.itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) != ODS_FOCUS) {
    return false;
  }
  const auto state = ::SendMessageW(item.hwndItem, WM_QUERYUISTATE, 0, 0);
  return (state & UISF_HIDEFOCUS) == 0;
}

std::optional<ControlId> MainWindow::IdOf(HWND control) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i] == control && control != nullptr) {
      return static_cast<ControlId>(i);
    }
  }
  // Asked while the control is being made, before it is in the table.
  const int id = ::GetDlgCtrlID(control) - kFirstControlId;
  if (id >= 0 && id < window::kControlCount) {
    return static_cast<ControlId>(id);
  }
  return std::nullopt;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<MainWindow*>(creation->lpCreateParams);
    self->window_.Reset(window);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  // The task bar and Alt+Tab ask for the program's icon; the title bar
  // draws only an icon of the class or one given with WM_SETICON, and this
  // window has neither (its dialog frame asks for no default either). Also
  // answered before WM_NCCREATE: Wine asks as soon as the window exists.
  if (message == WM_GETICON && wparam == ICON_BIG) {
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    return reinterpret_cast<LRESULT>(ProgramIcon(instance));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) {
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  return self->OnMessage(message, wparam, lparam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area{};
      ::GetClientRect(Handle(), &area);
      ::BitBlt(reinterpret_cast<HDC>(wparam), 0, 0, area.right, area.bottom, backdrop_.Get(), 0, 0,
               SRCCOPY);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = ::BeginPaint(Handle(), &paint);
      const RECT& area = paint.rcPaint;
      ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top,
               backdrop_.Get(), area.left, area.top, SRCCOPY);
      ::EndPaint(Handle(), &paint);
      return 0;
    }
    case WM_MOUSEMOVE:
      // Only the bare background reaches the window itself.
      controller_.OnMouseMoved(std::nullopt);
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wparam) != WA_INACTIVE);
      return 0;
    case WM_SETFOCUS:
      if (saved_focus_ != nullptr && ::IsWindow(saved_focus_)) {
        ::SetFocus(saved_focus_);
      }
      return 0;
    case WM_COMMAND:
      OnCommand(wparam, lparam);
      return 0;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      item->itemHeight = static_cast<UINT>(list_item_height_);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlType == ODT_COMBOBOX) {
        DrawList(*item);
      } else if (item->CtlType == ODT_STATIC) {
        DrawStandIn(*item);
      } else if (item->CtlType == ODT_BUTTON) {
        DrawCheckBox(*item);
      }
      return TRUE;
    }
    case WM_CTLCOLORLISTBOX:
      ::SetBkColor(reinterpret_cast<HDC>(wparam),
                   ToColorRef(window::Describe(ControlId::ListChoixResol).background));
      return reinterpret_cast<LRESULT>(list_brush_.Get());
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(Handle(), message, wparam, lparam);
  }
}

void MainWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(Handle(), focus)) {
      saved_focus_ = focus;
    }
    return;
  }
  if (saved_focus_ != nullptr && ::IsWindow(saved_focus_)) {
    ::SetFocus(saved_focus_);
  }
  // The first activation moves the focus to the windowed-mode box.
  controller_.OnActivated();
}

void MainWindow::OnCommand(WPARAM wparam, LPARAM lparam) {
  const WORD code = HIWORD(wparam);
  if (lparam == 0) {
    if (LOWORD(wparam) == kNewGameCommand) {
      controller_.OnClicked(ControlId::BoutLancerNouveau);
    } else if (LOWORD(wparam) == kLoadGameCommand) {
      controller_.OnClicked(ControlId::BoutLoad);
    } else if (LOWORD(wparam) == kReadMeCommand) {
      controller_.OnClicked(ControlId::Lien_txt);
    }
    return;
  }
  const std::optional<ControlId> id = IdOf(reinterpret_cast<HWND>(lparam));
  if (!id) {
    return;
  }
  switch (window::Describe(*id).kind) {
    case ControlKind::kList:
      if (code == CBN_SELCHANGE) {
        controller_.OnPicked(*id, SelectedItem(*id));
      }
      break;
    case ControlKind::kCheckBox:
      // A quick second click comes as a double-click; it toggles too.
      if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
        SetCheckValue(*id, CheckValue(*id) == 1 ? 0 : 1);
      }
      break;
    case ControlKind::kLabel:
      // Only an assistive tool's press comes this way; the mouse's click is
      // the label's own.
      if (code == BN_CLICKED) {
        controller_.OnClicked(*id);
      }
      break;
  }
}

void MainWindow::DrawList(const DRAWITEMSTRUCT& item) const {
  const std::optional<ControlId> id = IdOf(item.hwndItem);
  if (!id) {
    return;
  }
  const bool closed = (item.itemState & ODS_COMBOBOXEDIT) != 0;
  RECT area = item.rcItem;
  RECT text_area = area;
  text_area.left += kItemTextLeft;
  if (closed) {
    ClosedBoxField(item, area, text_area);
  }
  // The closed box always shows green on black; in the opened list the item
  // under the mouse is shown the other way round.
  const bool inverted = (item.itemState & ODS_SELECTED) != 0 && !closed;
  const std::wstring words =
      item.itemID != static_cast<UINT>(-1) ? ItemText(item.hwndItem, item.itemID) : std::wstring();
  DrawItem(item.hDC, window::Describe(*id), area, text_area, inverted, words);
  if (closed && ShowsFocus(item)) {
    ::DrawFocusRect(item.hDC, &item.rcItem);
  }
}

void MainWindow::DrawStandIn(const DRAWITEMSTRUCT& item) const {
  const std::optional<ControlId> id = IdOf(item.hwndItem);
  if (!id) {
    return;
  }
  // What the system's closed list draws around its item, in the colours
  // and sizes of the system's settings: a sunken frame, and inside it at
  // the right the arrow button, as wide as a scroll bar's arrow.
  RECT box = item.rcItem;
  ::DrawEdge(item.hDC, &box, EDGE_SUNKEN, BF_RECT);
  const int edge_x = ::GetSystemMetrics(SM_CXEDGE);
  const int edge_y = ::GetSystemMetrics(SM_CYEDGE);
  RECT button{box.right - edge_x - ::GetSystemMetrics(SM_CXVSCROLL), box.top + edge_y,
              box.right - edge_x, box.bottom - edge_y};
  ::DrawFrameControl(item.hDC, &button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
  RECT field{};
  RECT text_area{};
  ClosedBoxRects(box, button.left, field, text_area);
  const ListContent& content = lists_[Index(*id)];
  const std::wstring none;
  const std::wstring& words =
      content.selected >= 0 ? content.items[static_cast<std::size_t>(content.selected)] : none;
  const int saved = ::SaveDC(item.hDC);
  ::IntersectClipRect(item.hDC, field.left, field.top, field.right, field.bottom);
  DrawItem(item.hDC, window::Describe(*id), field, text_area, false, words);
  ::RestoreDC(item.hDC, saved);
}

void MainWindow::DrawItem(HDC dc, const ControlDescription& list, const RECT& area,
                          const RECT& text_area, bool inverted, const std::wstring& words) const {
  const COLORREF text = ToColorRef(list.text_colour);
  const COLORREF back = ToColorRef(list.background);
  FillColour(dc, area, inverted ? text : back);
  if (words.empty()) {
    return;
  }
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, inverted ? back : text);
  const Selection font(dc, fonts_.Get(list.font));
  RECT place = text_area;
  ::DrawTextW(dc, words.c_str(), static_cast<int>(words.size()), &place,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
}

void MainWindow::DrawCheckBox(const DRAWITEMSTRUCT& item) const {
  const std::optional<ControlId> id = IdOf(item.hwndItem);
  if (!id) {
    return;
  }
  const bool checked = checks_[Index(*id)] == 1;
  // Held down by the mouse or checked: it looks pressed.
  const bool sunken = checked || (item.itemState & ODS_SELECTED) != 0;
  RECT area = item.rcItem;
  FillColour(item.hDC, area, ToColorRef(window::Describe(*id).background));
  ::DrawEdge(item.hDC, &area, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  DrawCentred(item.hDC, checked ? check_on_.Get() : check_off_.Get(), area, sunken ? 1 : 0);
  if (ShowsFocus(item)) {
    RECT inside = area;
    ::InflateRect(&inside, -2, -2);
    ::DrawFocusRect(item.hDC, &inside);
  }
}

void MainWindow::CopyBackdrop(HDC target, const RECT& area) const {
  ::BitBlt(target, 0, 0, area.right - area.left, area.bottom - area.top, backdrop_.Get(), area.left,
           area.top, SRCCOPY);
}

COLORREF MainWindow::LabelColour(HWND label) const {
  const std::optional<ControlId> id = IdOf(label);
  return id ? colours_[Index(*id)] : RGB(0, 0, 0);
}

void MainWindow::OnLabelMouseMoved(HWND label) {
  if (const std::optional<ControlId> id = IdOf(label)) {
    controller_.OnMouseMoved(*id);
  }
}

void MainWindow::OnLabelClicked(HWND label) {
  if (const std::optional<ControlId> id = IdOf(label)) {
    controller_.OnClicked(*id);
  }
}

}  // namespace zephran::win32
