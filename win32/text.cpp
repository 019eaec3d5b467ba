#include "win32/text.h"

#include "platform/windows_api.h"

namespace zephran::win32 {

namespace {

std::wstring Convert(UINT code_page, DWORD flags, std::string_view text) {
  const int length = ::MultiByteToWideChar(code_page, flags, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return wide;
}

}  // namespace

std::wstring Widen(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  std::wstring wide = Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  return wide.empty() ? Convert(CP_ACP, 0, text) : wide;
}

}  // namespace zephran::win32
