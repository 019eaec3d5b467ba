#pragma once

#include <QIcon>
#include <QPixmap>

namespace zephran::ui {

// The pictures the program carries inside itself.
enum class Asset { kBackground, kCheckOff, kCheckOn };

// A picture, decoded the first time it is asked for; ask as it is drawn, so
// that the work falls after the window is on screen. A missing picture gives
// a null pixmap and a warning, not a failure: the window still opens, only
// without that picture.
QPixmap LoadAsset(Asset asset);

// The window icon: the 16 and 32 pixel images the program carries. Larger
// ones are for the desktop's menus, which take them from the installed files.
QIcon WindowIcon();

}  // namespace zephran::ui
