#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace morvane {

// The longest text fastTransformCoordinateLine writes, its CR LF included.
inline constexpr std::size_t kFastLineMax = 64;

// The common case of a coordinate line, "" and three short plain decimals,
// transformed without the general rules' allocations. Writes the line and its
// CR LF to `out` and returns the length, or nothing when the line needs the
// general rules (any other form, an error, a result of 10^15 or more in
// scaled units). Where it answers, it answers exactly as they would.
std::optional<std::size_t> fastTransformCoordinateLine(std::string_view line, const std::array<double, 3> &factors,
                                                       int decimals, char *out);

} // namespace morvane
