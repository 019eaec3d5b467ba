#pragma once

#include <string>
#include <string_view>

#include "platform/windows_api.h"

namespace zephran::platform {

// The launcher's own text, paths included, is UTF-8 on every system. On
// Windows it meets the system through the wide ("W") functions, which reach
// every file name whatever the code page; the narrow ("A") ones would reach
// only names the code page can spell, and under a double-byte code page a
// path's bytes could even hold a "\" that is half of a character.

// UTF-8 to UTF-16 and back. Broken sequences become U+FFFD.
std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

// The game reads its settings through the narrow profile functions, in the
// system's ANSI code page; its values cross the wide functions in that code
// page, so they keep the bytes the game reads and writes.
std::wstring Utf16FromAnsi(std::string_view text);
std::string AnsiFromUtf16(std::wstring_view text);

// The system's own words for an error code, in UTF-8, without the line break
// and full stop it ends them with.
std::string SystemErrorText(DWORD error);

}  // namespace zephran::platform
