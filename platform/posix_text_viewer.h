#pragma once

#include <string>
#include <string_view>

namespace zephran::platform {

// What the opener's failing exit status means, in words for the player, or
// empty text when `program` is not the opener or its status says nothing
// particular. The opener's own line says it in terms of its own workings
// ("x-terminal-emulator: not found"), which a player cannot act on.
std::string TextViewerFailure(std::string_view program, int exit_status);

}  // namespace zephran::platform
