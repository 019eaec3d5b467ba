#pragma once

#include <functional>

#include "platform/windows_api.h"
#include "window/description.h"

namespace zephran::win32 {

// Reads a check box's value (1 checked) for assistive technology: the window
// keeps it, as the owner-drawn button does not.
using CheckValueReader = std::function<int(window::ControlId)>;

// Makes a control answer screen readers (Active Accessibility) as what it is
// in the window's description: its name, its tooltip as the description, and
// for the two text buttons, the link and the check boxes a role and a
// default action. The system's own answer fills in everything else (place,
// focus, a list's items). An assistive tool's default action reaches the
// window as the control's click notice (WM_COMMAND, BN_CLICKED), posted so
// that the tool gets its answer before the click's work starts.
// Call once per control, right after creating it; it lasts as long as the
// control.
void AttachAccessibility(HWND control, window::ControlId id, CheckValueReader check_values);

}  // namespace zephran::win32
