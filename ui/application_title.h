#pragma once

namespace morvane {

// The title of every message box the application shows.
inline constexpr char kApplicationTitle[] = "AF99 Morvane Part 1.1";

} // namespace morvane
