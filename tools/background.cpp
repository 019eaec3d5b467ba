#include "tools/background.h"

namespace zephran::tools {

Canvas DrawBackground() {
  // Everything the plan leaves out (the gap between the bars, the bottom rows, the
  // corners beside the rounded bar ends) stays black.
  Canvas canvas(kBackgroundSize, kBackgroundSize);
  PaintFaceArtwork(canvas, kArtworkRows);
  PaintLaunchBar(canvas, kNewGameBarTop, BarSymbol::kPlayTriangle);
  PaintLaunchBar(canvas, kLoadBarTop, BarSymbol::kFloppyDisk);
  return canvas;
}

}  // namespace zephran::tools
