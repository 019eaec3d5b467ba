#pragma once

#include <optional>
#include <string_view>

namespace zephran::core {

// The value of a number as a player would type it into the settings file:
// surrounding spaces allowed, an optional sign, decimals with a point, an
// exponent. The same in every locale. nullopt for anything else, the empty
// text included.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace zephran::core
