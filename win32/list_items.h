#pragma once

#include <string>

#include "platform/windows_api.h"

namespace zephran::win32 {

// The text of item `index` of a combo box; empty for no such item.
inline std::wstring ItemText(HWND list, LRESULT index) {
  const LRESULT length =
      index < 0 ? -1 : ::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) {
    return {};
  }
  std::wstring words(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(words.data()));
  words.resize(static_cast<std::size_t>(length));
  return words;
}

}  // namespace zephran::win32
