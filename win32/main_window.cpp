#include "win32/main_window.h"

#include <commctrl.h>

#include <string>

#include "platform/windows_text.h"
#include "win32/accessibility.h"
#include "win32/resources.h"

namespace zephran::win32 {

namespace {

using window::ControlDescription;
using window::ControlId;
using window::ControlKind;

constexpr wchar_t kWindowClass[] = L"ZephranMainPage";
constexpr wchar_t kLabelClass[] = L"ZephranLabel";

// Keyboard chords of the two text buttons and the help key of the link,
// which the Tab key never reaches.
constexpr WORD kNewGameCommand = 300;
constexpr WORD kLoadGameCommand = 301;
constexpr WORD kReadMeCommand = 302;

// A fixed frame with a title and a close box; the dialog frame keeps the
// icon off the title bar, the task bar still shows it.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

// Controls overlap ("Colors :" reaches under its list): each paints only
// where no control above it lies.
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

COLORREF ToColorRef(window::Colour colour) {
  if (colour.system_button_text) {
    return ::GetSysColor(COLOR_BTNTEXT);
  }
  return RGB((colour.rgb >> 16) & 0xFF, (colour.rgb >> 8) & 0xFF, colour.rgb & 0xFF);
}

HBITMAP LoadPicture(HINSTANCE instance, int id) {
  return static_cast<HBITMAP>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// Copies a picture centred into a rectangle, moved by `shift` pixels.
void DrawCentred(HDC target, HBITMAP picture, const RECT& area, int shift) {
  BITMAP size{};
  ::GetObjectW(picture, sizeof size, &size);
  HDC source = ::CreateCompatibleDC(target);
  HGDIOBJ old = ::SelectObject(source, picture);
  const int x = area.left + (area.right - area.left - size.bmWidth) / 2 + shift;
  const int y = area.top + (area.bottom - area.top - size.bmHeight) / 2 + shift;
  ::BitBlt(target, x, y, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, platform::Platform& platform,
                       core::WindowServices& services)
    : instance_(instance), fonts_(instance), controller_(platform, services, *this) {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&common);
  background_ = LoadPicture(instance, ZEPHRAN_BACKGROUND);
  check_off_ = LoadPicture(instance, ZEPHRAN_CHECK_OFF);
  check_on_ = LoadPicture(instance, ZEPHRAN_CHECK_ON);
  list_brush_ =
      ::CreateSolidBrush(ToColorRef(window::Describe(ControlId::ListChoixResol).background));
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    colours_[Index(control.id)] = ToColorRef(control.text_colour);
  }
  RegisterClasses();

  const window::WindowDescription& description = window::MainPageDescription();
  RECT frame{0, 0, description.client_width, description.client_height};
  ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  const std::wstring title = platform::Utf16FromUtf8(description.title);
  window_ = ::CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, this);
  MakeBackdrop();
  CreateControls();
  const ACCEL chords[] = {{FCONTROL | FVIRTKEY, 'N', kNewGameCommand},
                          {FCONTROL | FVIRTKEY, 'L', kLoadGameCommand},
                          {FVIRTKEY, VK_F1, kReadMeCommand}};
  shortcuts_ = ::CreateAcceleratorTableW(const_cast<ACCEL*>(chords), 3);
}

MainWindow::~MainWindow() {
  if (tooltip_ != nullptr) {
    ::DestroyWindow(tooltip_);
  }
  if (::IsWindow(window_)) {
    // No quit message for a window the program outlives (tests).
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  ::DestroyAcceleratorTable(shortcuts_);
  if (backdrop_ != nullptr) {
    ::SelectObject(backdrop_, backdrop_old_);
    ::DeleteDC(backdrop_);
  }
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(backdrop_bitmap_), static_cast<HGDIOBJ>(background_),
                         static_cast<HGDIOBJ>(check_off_), static_cast<HGDIOBJ>(check_on_),
                         static_cast<HGDIOBJ>(list_brush_)}) {
    if (object != nullptr) {
      ::DeleteObject(object);
    }
  }
}

void MainWindow::RegisterClasses() const {
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = WindowProc;
  main.hInstance = instance_;
  main.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(ZEPHRAN_ICON));
  main.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  main.lpszClassName = kWindowClass;
  ::RegisterClassExW(&main);  // fails harmlessly when a second window registers again

  // No CS_DBLCLKS: a quick second click on a label is a second click.
  WNDCLASSEXW label{};
  label.cbSize = sizeof label;
  label.lpfnWndProc = LabelProc;
  label.hInstance = instance_;
  label.hCursor = main.hCursor;
  label.lpszClassName = kLabelClass;
  ::RegisterClassExW(&label);
}

void MainWindow::MakeBackdrop() {
  const window::WindowDescription& description = window::MainPageDescription();
  HDC screen = ::GetDC(window_);
  backdrop_ = ::CreateCompatibleDC(screen);
  backdrop_bitmap_ =
      ::CreateCompatibleBitmap(screen, description.client_width, description.client_height);
  ::ReleaseDC(window_, screen);
  backdrop_old_ = ::SelectObject(backdrop_, backdrop_bitmap_);
  RECT all{0, 0, description.client_width, description.client_height};
  HBRUSH colour = ::CreateSolidBrush(ToColorRef(description.background));
  ::FillRect(backdrop_, &all, colour);
  ::DeleteObject(colour);
  // At its own size from the top-left corner: neither stretched nor tiled.
  HDC picture = ::CreateCompatibleDC(backdrop_);
  HGDIOBJ old = ::SelectObject(picture, background_);
  BITMAP size{};
  ::GetObjectW(background_, sizeof size, &size);
  ::BitBlt(backdrop_, 0, 0, size.bmWidth, size.bmHeight, picture, 0, 0, SRCCOPY);
  ::SelectObject(picture, old);
  ::DeleteDC(picture);
}

void MainWindow::CreateControls() {
  HFONT list_font = fonts_.Get(window::Describe(ControlId::ListChoixResol).font);
  HDC screen = ::GetDC(window_);
  HGDIOBJ old = ::SelectObject(screen, list_font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(screen, &metrics);
  ::SelectObject(screen, old);
  ::ReleaseDC(window_, screen);
  list_item_height_ = metrics.tmHeight + 2;

  tooltip_ =
      ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
  // Siblings made later lie below the earlier ones, and the Tab key walks
  // them from the top: made top first, the lists and check boxes come in
  // their Tab order and above every label.
  const auto& order = window::MainPageDescription().bottom_to_top;
  for (auto id = order.rbegin(); id != order.rend(); ++id) {
    const ControlDescription& control = window::Describe(*id);
    controls_[Index(*id)] = CreateControl(control);  // lists are in the table earlier
    AddTooltip(controls_[Index(*id)], control.tooltip);
    AttachAccessibility(controls_[Index(*id)], *id,
                        [this](ControlId box) { return CheckValue(box); });
  }
}

HWND MainWindow::CreateControl(const ControlDescription& control) {
  const auto& box = control.box;
  const auto id =
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(control.id)));
  switch (control.kind) {
    case ControlKind::kList: {
      // Screen readers name a combo box after the static text just above it
      // in the z-order, where a dialog puts its caption; ours are drawn by
      // our own label class, so the list gets a static that is never shown.
      const std::wstring name = platform::Utf16FromUtf8(control.accessible_name);
      ::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | SS_NOPREFIX, box.x, box.y, 0, 0,
                        window_, nullptr, instance_, nullptr);
      // The height given here is the opened list's: room for eight items.
      HWND list = ::CreateWindowExW(0, L"COMBOBOX", nullptr,
                                    kChildStyle | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                                        CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                    box.x, box.y, box.width, box.height + 8 * list_item_height_ + 2,
                                    window_, id, instance_, nullptr);
      ::SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(control.font)), FALSE);
      ::SendMessageW(list, CB_SETITEMHEIGHT, 0, list_item_height_);
      FitClosedHeight(list, box.height);
      controls_[Index(control.id)] = list;
      for (const std::string_view item : control.items) {
        AppendItem(control.id, item);
      }
      return list;
    }
    case ControlKind::kCheckBox: {
      // The name is not drawn; assistive technology reads it.
      const std::wstring name = platform::Utf16FromUtf8(control.accessible_name);
      return ::CreateWindowExW(0, L"BUTTON", name.c_str(), kChildStyle | WS_TABSTOP | BS_OWNERDRAW,
                               box.x, box.y, box.width, box.height, window_, id, instance_,
                               nullptr);
    }
    case ControlKind::kLabel: {
      const std::wstring text = platform::Utf16FromUtf8(control.text);
      HWND label = ::CreateWindowExW(0, kLabelClass, text.c_str(), kChildStyle, box.x, box.y,
                                     box.width, box.height, window_, id, instance_, this);
      ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(control.font)), FALSE);
      return label;
    }
  }
  return nullptr;
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
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.hinst = instance_;
  tool.lpszText = kept.data();
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::ShowCentred() {
  RECT frame{};
  ::GetWindowRect(window_, &frame);
  RECT screen{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  ::SetWindowPos(window_, nullptr, screen.left + (screen.right - screen.left - width) / 2,
                 screen.top + (screen.bottom - screen.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(window_, SW_SHOW);
  ::UpdateWindow(window_);
}

void MainWindow::AppendItem(ControlId list, std::string_view text) {
  const std::wstring wide = platform::Utf16FromUtf8(text);
  ::SendMessageW(Control(list), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void MainWindow::SelectItem(ControlId list, int index) {
  // Sends no selection notice, so no handler runs twice.
  ::SendMessageW(Control(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int MainWindow::SelectedItem(ControlId list) const {
  return static_cast<int>(::SendMessageW(Control(list), CB_GETCURSEL, 0, 0));
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
  ::SetFocus(Control(control));
}

bool MainWindow::Filter(MSG& message) {
  if (!::IsWindow(window_)) {
    return false;
  }
  return ::TranslateAcceleratorW(window_, shortcuts_, &message) != 0 ||
         ::IsDialogMessageW(window_, &message) != FALSE;
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
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
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
      ::GetClientRect(window_, &area);
      ::BitBlt(reinterpret_cast<HDC>(wparam), 0, 0, area.right, area.bottom, backdrop_, 0, 0,
               SRCCOPY);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = ::BeginPaint(window_, &paint);
      const RECT& area = paint.rcPaint;
      ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top,
               backdrop_, area.left, area.top, SRCCOPY);
      ::EndPaint(window_, &paint);
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
      } else if (item->CtlType == ODT_BUTTON) {
        DrawCheckBox(*item);
      }
      return TRUE;
    }
    case WM_CTLCOLORLISTBOX:
      ::SetBkColor(reinterpret_cast<HDC>(wparam),
                   ToColorRef(window::Describe(ControlId::ListChoixResol).background));
      return reinterpret_cast<LRESULT>(list_brush_);
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wparam, lparam);
  }
}

void MainWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(window_, focus)) {
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
  const ControlDescription& list = window::Describe(*id);
  // The closed box always shows green on black; in the opened list the item
  // under the mouse is shown the other way round.
  const bool inverted =
      (item.itemState & ODS_SELECTED) != 0 && (item.itemState & ODS_COMBOBOXEDIT) == 0;
  const COLORREF text = ToColorRef(list.text_colour);
  const COLORREF back = ToColorRef(list.background);
  HBRUSH fill = ::CreateSolidBrush(inverted ? text : back);
  ::FillRect(item.hDC, &item.rcItem, fill);
  ::DeleteObject(fill);
  if (item.itemID != static_cast<UINT>(-1)) {
    const auto length = ::SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0);
    std::wstring words(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    ::SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID,
                   reinterpret_cast<LPARAM>(words.data()));
    words.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    RECT area = item.rcItem;
    area.left += 2;
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, inverted ? back : text);
    HGDIOBJ old = ::SelectObject(item.hDC, fonts_.Get(list.font));
    ::DrawTextW(item.hDC, words.c_str(), static_cast<int>(words.size()), &area,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    ::SelectObject(item.hDC, old);
  }
  // Windows hides focus marks until the keyboard is used.
  if ((item.itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) == ODS_FOCUS &&
      (item.itemState & ODS_COMBOBOXEDIT) != 0) {
    ::DrawFocusRect(item.hDC, &item.rcItem);
  }
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
  HBRUSH face = ::CreateSolidBrush(ToColorRef(window::Describe(*id).background));
  ::FillRect(item.hDC, &area, face);
  ::DeleteObject(face);
  ::DrawEdge(item.hDC, &area, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  DrawCentred(item.hDC, checked ? check_on_ : check_off_, area, sunken ? 1 : 0);
  if ((item.itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) == ODS_FOCUS) {
    RECT inside = area;
    ::InflateRect(&inside, -2, -2);
    ::DrawFocusRect(item.hDC, &inside);
  }
}

LRESULT CALLBACK MainWindow::LabelProc(HWND label, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(label, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(label, GWLP_USERDATA));
  if (self == nullptr) {
    return ::DefWindowProcW(label, message, wparam, lparam);
  }
  return self->OnLabelMessage(label, message, wparam, lparam);
}

LRESULT MainWindow::OnLabelMessage(HWND label, UINT message, WPARAM wparam, LPARAM lparam) {
  const std::optional<ControlId> id = IdOf(label);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = ::BeginPaint(label, &paint);
      PaintLabel(label, target);
      ::EndPaint(label, &paint);
      return 0;
    }
    case WM_SETFONT:
      ::SetPropW(label, L"ZephranFont", reinterpret_cast<HANDLE>(wparam));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(::GetPropW(label, L"ZephranFont"));
    case WM_NCDESTROY:
      ::RemovePropW(label, L"ZephranFont");
      break;
    case WM_MOUSEMOVE:
      if (id) {
        controller_.OnMouseMoved(*id);
      }
      return 0;
    case WM_LBUTTONDOWN:
      if (id) {
        pressed_[Index(*id)] = true;
        ::SetCapture(label);
      }
      return 0;
    case WM_LBUTTONUP: {
      // A click is a press and a release over the label.
      const bool pressed = id && pressed_[Index(*id)];
      if (::GetCapture() == label) {
        ::ReleaseCapture();
      }
      RECT area{};
      ::GetClientRect(label, &area);
      const POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      if (pressed && ::PtInRect(&area, point)) {
        controller_.OnClicked(*id);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (id) {
        pressed_[Index(*id)] = false;
      }
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(label, message, wparam, lparam);
}

void MainWindow::PaintLabel(HWND label, HDC target) const {
  RECT area{};
  ::GetClientRect(label, &area);
  POINT origin{0, 0};
  ::MapWindowPoints(label, window_, &origin, 1);
  // Drawn off screen over the window's own picture, then copied in one go:
  // transparent, without flicker, and exact after a colour change.
  HDC canvas = ::CreateCompatibleDC(target);
  HBITMAP bitmap = ::CreateCompatibleBitmap(target, area.right, area.bottom);
  HGDIOBJ old_bitmap = ::SelectObject(canvas, bitmap);
  ::BitBlt(canvas, 0, 0, area.right, area.bottom, backdrop_, origin.x, origin.y, SRCCOPY);
  const std::optional<ControlId> id = IdOf(label);
  HGDIOBJ old_font =
      ::SelectObject(canvas, reinterpret_cast<HFONT>(::GetPropW(label, L"ZephranFont")));
  ::SetBkMode(canvas, TRANSPARENT);
  ::SetTextColor(canvas, id ? colours_[Index(*id)] : RGB(0, 0, 0));
  const std::wstring text = WindowText(label);
  ::DrawTextW(canvas, text.c_str(), static_cast<int>(text.size()), &area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  ::BitBlt(target, 0, 0, area.right, area.bottom, canvas, 0, 0, SRCCOPY);
  ::SelectObject(canvas, old_font);
  ::SelectObject(canvas, old_bitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(canvas);
}

}  // namespace zephran::win32
