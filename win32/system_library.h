#pragma once

#include "platform/windows_api.h"

namespace zephran::win32 {

// A function of a system library that the program does not import, loaded
// the first time it is wanted: under Wine every library loaded with the
// program delays its window. The library stays loaded for the rest of the
// run. nullptr when the library or the function is missing.
template <typename Function>
Function LoadSystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = ::LoadLibraryW(library);
  if (module == nullptr) {
    return nullptr;
  }
  // Through a plain function pointer: a direct cast between unrelated
  // function types draws a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace zephran::win32
