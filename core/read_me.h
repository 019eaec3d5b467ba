#pragma once

#include "core/launcher_state.h"
#include "core/window_services.h"
#include "platform/platform.h"

namespace zephran::core {

// Opens the read-me beside the launcher in the system's text viewer. The
// launcher stays open; a missing file or a viewer that cannot be started is
// told to the player.
void OpenReadMe(platform::Platform& platform, WindowServices& window, const LauncherState& state);

}  // namespace zephran::core
