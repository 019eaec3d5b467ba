#include "win32/main_window.h"

#include <chrono>
#include <exception>
#include <string>

#include "platform/windows_text.h"
#include "win32/colours.h"
#include "win32/resources.h"

namespace zephran::win32 {

namespace {

using window::ControlDescription;
using window::ControlId;

// Keyboard chords of the two text buttons and the help key of the link,
// which the Tab key never reaches.
constexpr WORD kNewGameCommand = 300;
constexpr WORD kLoadGameCommand = 301;
constexpr WORD kReadMeCommand = 302;

// The pads are read at this timer, every frame of a 60 Hz screen, from the
// window's making (the message of a missing game comes before it shows)
// and while the launcher is the active program.
constexpr UINT_PTR kPadTimer = 1;
constexpr UINT kPadInterval = 16;

// A fixed frame with a title and a close box. The dialog frame asks for no
// default icon in the title bar; the program's icon goes only to the task
// bar and Alt+Tab (see Procedure). No icon of the class either.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

// The program's icon at the size the task bar and Alt+Tab ask for; the
// system keeps one copy for the process.
HICON ProgramIcon(HINSTANCE instance) {
  return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(ZEPHRAN_ICON), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXICON),
                                         ::GetSystemMetrics(SM_CYICON), LR_SHARED));
}

// Made where it will show, centred on the work area: moving it there later
// costs Wine a round of window updates before the window appears.
Placement CentredPlacement(const std::wstring& title, const Scale& scale) {
  const window::WindowDescription& description = window::MainPageDescription();
  const SIZE outer =
      OuterSize(scale.Px(description.client_width), scale.Px(description.client_height),
                kWindowStyle, kWindowExStyle, scale.Dpi());
  const int width = outer.cx;
  const int height = outer.cy;
  RECT screen{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  const int x = screen.left + (screen.right - screen.left - width) / 2;
  const int y = screen.top + (screen.bottom - screen.top - height) / 2;
  return {nullptr, 0, kWindowStyle, kWindowExStyle, title.c_str(), x, y, width, height};
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, platform::Platform& platform,
                       core::WindowServices& services)
    : instance_(instance),
      // The primary monitor's, where the window is made; the window's own
      // once it exists.
      scale_(SystemDpi()),
      fonts_(instance),
      backdrop_(instance),
      list_brush_(
          ::CreateSolidBrush(ToColorRef(window::Describe(ControlId::ListChoixResol).background))),
      controls_(instance, fonts_, cues_, static_cast<TextLabelHost&>(*this)),
      controller_(platform, services, *this) {
  Checked(list_brush_.Get(), "the lists' background");
  const std::wstring title = platform::Utf16FromUtf8(window::MainPageDescription().title);
  Create(instance, {L"ZephranMainPage", 0, Procedure}, CentredPlacement(title, scale_),
         "the main window");
  if (const Scale own(WindowDpi(Handle())); own != scale_) {
    scale_ = own;
    const Placement place = CentredPlacement(title, scale_);
    ::SetWindowPos(Handle(), nullptr, place.x, place.y, place.width, place.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  backdrop_.Make(Handle(), scale_);
  controls_.Create(Handle(), scale_);
  const ACCEL chords[] = {{FCONTROL | FVIRTKEY, 'N', kNewGameCommand},
                          {FCONTROL | FVIRTKEY, 'L', kLoadGameCommand},
                          {FVIRTKEY, VK_F1, kReadMeCommand}};
  shortcuts_.Reset(
      Checked(::CreateAcceleratorTableW(const_cast<ACCEL*>(chords), 3), "the keyboard shortcuts"));
  // No focus marks until the keyboard is used (see FocusCues), for the
  // parts the system draws too.
  ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
  ::SetTimer(Handle(), kPadTimer, kPadInterval, nullptr);
}

MainWindow::~MainWindow() {
  // The window and its controls go first, while every object they reach
  // still stands.
  Destroy();
}

void MainWindow::ShowCentred() {
  Show();
  CompleteControls();
}

void MainWindow::Show() {
  // Made centred (see CentredPlacement).
  ::ShowWindow(Handle(), SW_SHOW);
  ::UpdateWindow(Handle());
}

void MainWindow::CompleteControls() {
  if (tooltips_) {
    return;
  }
  // A tip shows only after the pointer has rested on a control, which needs
  // the message loop: made now, nothing looks different, and its pop-up (an
  // X window of its own under Wine) does not delay the window's appearance.
  tooltips_ = std::make_unique<Tooltips>(instance_, Handle());
  tooltips_->SetDpi(scale_.Dpi());
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    tooltips_->Add(Control(control.id), control.tooltip);
  }
}

void MainWindow::ShowFocusMark(bool shown) {
  cues_.Hide(!shown);
  if (shown) {
    // The pad is the keyboard's stand-in: marks show from now on.
    ShowFocusCues();
  }
  if (HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(Handle(), focus) != FALSE) {
    ::InvalidateRect(focus, nullptr, FALSE);
  }
}

void MainWindow::CloseWindow() {
  // Posted, as the close box's is: the window goes once the pad's work is
  // done.
  ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

bool MainWindow::Filter(MSG& message) {
  if (::IsWindow(Handle()) == FALSE) {
    return false;
  }
  if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
    ShowFocusCues();
    controller_.OnKeyPressed();
  }
  return ::TranslateAcceleratorW(Handle(), shortcuts_.Get(), &message) != 0 ||
         ::IsDialogMessageW(Handle(), &message) != FALSE;
}

void MainWindow::ShowFocusCues() {
  if (!cues_.NoteKeyboardUsed()) {
    return;
  }
  ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
  if (HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(Handle(), focus) != FALSE) {
    ::InvalidateRect(focus, nullptr, FALSE);
  }
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // The task bar and Alt+Tab ask for the program's icon; the title bar
  // draws only an icon of the class or one given with WM_SETICON, and this
  // window has neither (its dialog frame asks for no default either). Also
  // answered before the window reaches its object: Wine asks as soon as the
  // window exists.
  if (message == WM_GETICON && wparam == ICON_BIG) {
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    return reinterpret_cast<LRESULT>(ProgramIcon(instance));
  }
  return Route(window, message, wparam, lparam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area{};
      ::GetClientRect(Handle(), &area);
      backdrop_.Paint(reinterpret_cast<HDC>(wparam), area);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = ::BeginPaint(Handle(), &paint);
      backdrop_.Paint(target, paint.rcPaint);
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
    case kDpiChangedMessage:
      OnDpiChanged(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_ACTIVATEAPP:
      // Another program's turn: its pad presses are not ours to read.
      if (wparam != FALSE) {
        ::SetTimer(Handle(), kPadTimer, kPadInterval, nullptr);
      } else {
        ::KillTimer(Handle(), kPadTimer);
        pads_.Forget();
      }
      return 0;
    case WM_TIMER:
      if (wparam == kPadTimer) {
        ReadPads();
        return 0;
      }
      return WindowBase::OnMessage(message, wparam, lparam);
    case WM_SETFOCUS:
      if (saved_focus_ != nullptr && ::IsWindow(saved_focus_)) {
        ::SetFocus(saved_focus_);
      }
      return 0;
    case WM_COMMAND:
      OnCommand(wparam, lparam);
      return 0;
    case WM_MEASUREITEM: {
      const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lparam);
      HWND control = ::GetDlgItem(Handle(), static_cast<int>(item->CtlID));
      return RouteNotice(control, message, wparam, lparam, result) ? result : FALSE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      return RouteNotice(item->hwndItem, message, wparam, lparam, result) ? result : FALSE;
    }
    case WM_CTLCOLORLISTBOX:
      ::SetBkColor(reinterpret_cast<HDC>(wparam),
                   ToColorRef(window::Describe(ControlId::ListChoixResol).background));
      return reinterpret_cast<LRESULT>(list_brush_.Get());
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return WindowBase::OnMessage(message, wparam, lparam);
  }
}

bool MainWindow::RouteNotice(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                             LRESULT& result) {
  // Only our own children: any other window's slot is not ours to read.
  if (control == nullptr || ::GetParent(control) != Handle()) {
    return false;
  }
  WindowBase* target = FromHandle(control);
  return target != nullptr && target->OnNotice(message, wparam, lparam, result);
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

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  const Scale scale(dpi);
  try {
    backdrop_.Make(Handle(), scale);
    controls_.Rescale(scale);
  } catch (const std::exception&) {
    // The system is short of memory: the window stays as it was drawn,
    // small or large on this monitor, rather than partly redrawn. (Neither
    // changes anything when it fails.)
    try {
      backdrop_.Make(Handle(), scale_);
    } catch (const std::exception&) {
    }
    return;
  }
  scale_ = scale;
  if (tooltips_) {
    tooltips_->SetDpi(dpi);
  }
  // Where and as large as the system suggests: the frame at the new scale
  // around the client area at the new scale.
  ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void MainWindow::ReadPads() {
  // The active window is the launcher's own, or its message box.
  HWND active = ::GetForegroundWindow();
  if (active == nullptr || ::GetWindowThreadProcessId(active, nullptr) != ::GetCurrentThreadId()) {
    pads_.Forget();
    return;
  }
  // A clock that never wraps (XP's tick count would, every 49.7 days).
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  for (const window::PadAction action : pads_.Read(now)) {
    controller_.OnPad(action);
  }
}

void MainWindow::OnCommand(WPARAM wparam, LPARAM lparam) {
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
  const auto control = reinterpret_cast<HWND>(lparam);
  const std::optional<ControlId> id = controls_.Identify(control);
  if (!id) {
    return;
  }
  const WORD code = HIWORD(wparam);
  if (controls_.IsCheckBox(*id) && code == BN_SETFOCUS) {
    controller_.OnFocusMoved(*id);
    return;
  }
  LRESULT ignored = 0;
  if (RouteNotice(control, WM_COMMAND, wparam, lparam, ignored)) {
    return;  // a check box's click: the box toggles itself
  }
  if (controls_.IsList(*id) && code == CBN_SETFOCUS) {
    controller_.OnFocusMoved(*id);
  } else if (controls_.IsList(*id) && code == CBN_SELCHANGE) {
    controller_.OnPicked(*id, controls_.SelectedItem(*id));
  } else if (controls_.IsLabel(*id) && code == BN_CLICKED) {
    // Only an assistive tool's press comes this way; the mouse's click is
    // the label's own.
    controller_.OnClicked(*id);
  }
}

void MainWindow::CopyBackdrop(HDC target, const RECT& area, ControlId label) const {
  backdrop_.Copy(target, area);
  controls_.DrawLabelsBelow(label, target, area);
}

void MainWindow::OnLabelMouseMoved(ControlId label) {
  controller_.OnMouseMoved(label);
}

void MainWindow::OnLabelClicked(ControlId label) {
  controller_.OnClicked(label);
}

}  // namespace zephran::win32
