#pragma once

#include "tools/canvas.h"

// The check-box faces and the program icon.
namespace zephran::tools {

// 20 x 20: the chamfered green frame around a black inside.
Canvas DrawCheckOff();
// The same frame with a light-green cross from corner to corner of the inside.
Canvas DrawCheckOn();

// The icon design reduced to the standard 16-colour palette (see WindowsPalette16);
// size is 16 or 32.
IndexedImage DrawIconIndexed(int size);
// The same design, smoothly shaded, for sizes where a palette would look coarse.
Canvas DrawIconSmooth(int size);

}  // namespace zephran::tools
