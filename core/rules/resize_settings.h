#pragma once

#include <string>

namespace morvane {

enum class PrecisionMode { AF99, AF5 };

// Decimals kept by each target application.
constexpr int decimalsFor(PrecisionMode mode) { return mode == PrecisionMode::AF5 ? 1 : 2; }

// What the user typed, untouched: the factor texts are only read as numbers
// when the first coordinate line needs them.
struct ResizeSettings {
    std::string right = "1.00";
    std::string fore = "1.00";
    std::string up = "1.00";
    PrecisionMode precision = PrecisionMode::AF99;
};

} // namespace morvane
