#pragma once

#include <string>
#include <string_view>

namespace zephran::win32 {

// The launcher's text is UTF-8; the window system's wide functions take
// UTF-16. Bytes that are not UTF-8 (a folder name read through an "A"
// function where the system's code page is not UTF-8) are read in that code
// page instead, so such a name is still shown as the system spells it.
std::wstring Widen(std::string_view text);

}  // namespace zephran::win32
