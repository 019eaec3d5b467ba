#pragma once

#include "tools/canvas.h"

// The window's 300 x 300 background: face artwork on top, the two launch bars below.
namespace zephran::tools {

// Rows of the background picture; the window's labels and lists are placed on them.
inline constexpr int kBackgroundSize = 300;
inline constexpr int kArtworkRows = 216;    // rows 0..215
inline constexpr int kNewGameBarTop = 216;  // rows 216..255
inline constexpr int kLoadBarTop = 258;     // rows 258..297
inline constexpr int kBarRows = 40;

Canvas DrawBackground();

// Dark green close-up face sprinkled with falling code glyphs, into rows 0..rows-1.
void PaintFaceArtwork(Canvas& canvas, int rows);

enum class BarSymbol { kPlayTriangle, kFloppyDisk };

// A raised slate-blue bar with rounded ends filling rows top..top+kBarRows-1, with its
// symbol near the left end.
void PaintLaunchBar(Canvas& canvas, int top, BarSymbol symbol);

}  // namespace zephran::tools
