#pragma once

#include <QFont>

#include "window/description.h"

namespace zephran::ui {

// The window's two faces are carried inside the program and used whatever
// the machine has installed: the boxes were measured for "Comic Sans MS" and
// "MS Sans Serif", and only faces we carry are known to fit them. Comic Neue
// stands in for the first; Liberation Sans, with Arial's narrow metrics, for
// the second. Other faces serve only for characters these lack.
inline constexpr const char* kComicFamily = "Comic Neue";
inline constexpr const char* kSansFamily = "Liberation Sans";

// A font of the window's description. Sized in pixels, not points, so the
// absolute layout holds at any screen resolution; high-DPI scaling then
// scales everything together.
QFont MakeFont(const window::Font& font);

}  // namespace zephran::ui
