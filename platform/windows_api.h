#pragma once

// windows.h for the Windows side of the platform, its tests and helpers.
// Always include it through here: windows.h defines WriteProfileString as a
// macro (for WriteProfileStringA or W), which would silently rename our
// Platform::WriteProfileString in exactly the files that include it.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef WriteProfileString
