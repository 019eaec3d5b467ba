#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

std::wstring ToUtf16(UINT code_page, std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string FromUtf16(UINT code_page, std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) {
    return {};
  }
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(code_page, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::wstring Utf16FromUtf8(std::string_view text) {
  return ToUtf16(CP_UTF8, text);
}

std::string Utf8FromUtf16(std::wstring_view text) {
  return FromUtf16(CP_UTF8, text);
}

std::wstring Utf16FromAnsi(std::string_view text) {
  return ToUtf16(CP_ACP, text);
}

std::string AnsiFromUtf16(std::wstring_view text) {
  return FromUtf16(CP_ACP, text);
}

std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      length > 0 && text != nullptr ? Utf8FromUtf16(std::wstring_view(text, length)) : "";
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace zephran::platform
