#include "win32/tooltips.h"

#include <commctrl.h>

#include "platform/windows_text.h"
#include "win32/system_library.h"

namespace zephran::win32 {

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
