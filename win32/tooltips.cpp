#include "win32/tooltips.h"

#include <commctrl.h>

#include "platform/windows_system_library.h"
#include "platform/windows_text.h"
#include "win32/scale.h"

namespace zephran::win32 {

using platform::LoadSystemFunction;
using platform::SystemLibrary;

Tooltips::Tooltips(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {
  // Imported, the common controls would be loaded, and their classes
  // registered, before the window could appear.
  const auto init_common_controls = LoadSystemFunction<decltype(&::InitCommonControlsEx)>(
      SystemLibrary::kCommonControls, "InitCommonControlsEx");
  const INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  if (init_common_controls == nullptr || init_common_controls(&common) == FALSE) {
    return;
  }
  try {
    // The owner owns it: it goes with the window too.
    CreateControl(instance, TOOLTIPS_CLASSW,
                  {owner, 0, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, WS_EX_TOPMOST, nullptr},
                  "the tooltips");
  } catch (const CreationError&) {
    // Tips are a help, not a part the window needs.
  }
}

void Tooltips::SetDpi(int dpi) {
  if (Handle() == nullptr) {
    return;
  }
  // The face the common controls take for tips (the status font), at the
  // system's scale; then at `dpi`.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) == FALSE) {
    return;
  }
  LOGFONTW face = metrics.lfStatusFont;
  face.lfHeight = ::MulDiv(face.lfHeight, dpi, SystemDpi());
  Font font(::CreateFontIndirectW(&face));
  if (font.Get() == nullptr) {
    return;  // the tips keep the face they have
  }
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
  font_ = std::move(font);
}

void Tooltips::Add(HWND control, std::string_view text) {
  if (text.empty() || Handle() == nullptr) {
    return;
  }
  std::wstring& kept = texts_.emplace_back(platform::Utf16FromUtf8(text));
  TTTOOLINFOW tool{};
  // The size the common controls of every Windows version accept.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = owner_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.hinst = instance_;
  tool.lpszText = kept.data();
  ::SendMessageW(Handle(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace zephran::win32
