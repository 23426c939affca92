#pragma once

#include "core/rules/line_error.h"
#include "core/rules/resize_settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace morvane {

// The smallest and the largest value along one axis.
struct AxisRange {
    double min = 0;
    double max = 0;
};

// A part's extent over its coordinate lines, as the rules read their values.
struct PartSize {
    std::uint64_t lines = 0;
    std::array<AxisRange, 3> axes;

    // Takes in the RIGHT, FORE and UP values of one line.
    void include(const double *values)
    {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            AxisRange &range = axes[axis];
            // The first line sets both ends; -0 and 0 count as one value.
            if (lines == 0 || values[axis] < range.min)
                range.min = values[axis];
            if (lines == 0 || values[axis] > range.max)
                range.max = values[axis];
        }
        ++lines;
    }
};

// The size along an axis: the largest value less the smallest. A failure
// where that difference is too large for a number.
std::expected<double, LineError> axisSize(const AxisRange &range, std::size_t axis);

// A finite value as the rules write a number at that precision.
std::string writtenNumber(double value, PrecisionMode precision);

// The range the resized part holds along an axis, as its file is written:
// rounding keeps order, so the written ends are the written images of the
// ends, swapped by a negative factor, and read back they are what a scan
// of the written file finds.
std::expected<AxisRange, LineError> rangeAfter(const AxisRange &range, double factor, std::size_t axis,
                                               PrecisionMode precision);

// The factor that gives an axis of that range the size `target` (a number
// text, 0 or more): the shortest text that reads back as the very double
// target / its size, negative where `mirrored`. Fails for a flat axis, or
// one whose size is too large for a number.
std::expected<std::string, LineError> fittedFactor(std::string_view target, const AxisRange &range, std::size_t axis,
                                                   bool mirrored);

} // namespace morvane
