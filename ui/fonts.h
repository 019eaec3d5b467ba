#pragma once

#include <QFont>

namespace zephran::ui {

// The window's fonts are sized in pixels, not points, so the absolute layout
// holds at any screen resolution; high-DPI scaling then scales everything
// together.
enum class FontStyle { kRegular, kBold, kBoldItalic };

// The window's two faces are carried inside the program and used whatever
// the machine has installed: the boxes were measured for "Comic Sans MS" and
// "MS Sans Serif", and only faces we carry are known to fit them. Comic Neue
// stands in for the first; Liberation Sans, with Arial's narrow metrics, for
// the second. Other faces serve only for characters these lack.
inline constexpr const char* kComicFamily = "Comic Neue";
inline constexpr const char* kSansFamily = "Liberation Sans";

// The comic face of the captions and the two text buttons.
QFont ComicFont(int pixel_size, FontStyle style);

// The small sans-serif face of the lists, the link and the credit line.
QFont SansFont(int pixel_size, FontStyle style, bool underline = false);

}  // namespace zephran::ui
