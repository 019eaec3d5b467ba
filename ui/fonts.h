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

// Makes the carried faces known to Qt; once is enough, later calls return at
// once. Needed before the first text is measured or drawn, not before fonts
// are made: the window calls it as it first paints, after it is mapped, where
// the font system's own set-up falls anyway.
void LoadCarriedFonts();

// A font of the window's description. Sized in pixels, not points, so the
// absolute layout holds at any screen resolution; high-DPI scaling then
// scales everything together.
QFont MakeFont(const window::Font& font);

}  // namespace zephran::ui
