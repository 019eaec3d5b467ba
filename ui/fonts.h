#pragma once

#include <QFont>

namespace zephran::ui {

// The window's fonts are sized in pixels, not points, so the absolute layout
// holds at any screen resolution; high-DPI scaling then scales everything
// together.
enum class FontStyle { kRegular, kBold, kBoldItalic };

// "Comic Sans MS", or its look-alike "Comic Neue" where it is not installed.
QFont ComicFont(int pixel_size, FontStyle style);

// "MS Sans Serif", or a plain sans-serif face where it is not installed.
QFont SansFont(int pixel_size, FontStyle style, bool underline = false);

}  // namespace zephran::ui
