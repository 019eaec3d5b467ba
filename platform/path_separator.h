#pragma once

namespace zephran::platform {

// The one place that knows how folder texts are separated on this system.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace zephran::platform
