#pragma once

#include "core/rules/line_error.h"
#include "core/rules/resize_settings.h"

#include <array>
#include <expected>
#include <string>
#include <string_view>

namespace morvane {

inline constexpr std::size_t kMaxLabelLength = 32767;

// Line 1: "","<new base name>","<label>-Resized" (or "" for an empty label).
// The label is found after "","<base name of the source>"," when the header
// has that form, otherwise as the header's third quoted field.
std::expected<std::string, LineError> rewriteHeaderLine(std::string_view header, std::string_view sourceFileName,
                                                        std::string_view newBaseName);

// The RIGHT, FORE and UP field texts of a coordinate line.
using CoordinateFields = std::array<std::string_view, 3>;

// A coordinate line is "", and exactly three comma-separated fields.
std::expected<CoordinateFields, LineError> splitCoordinateFields(std::string_view line);

// The factor texts read once for a whole run; each keeps its own error so the
// first line reports the same failure the per-line rules would.
struct AxisFactors {
    std::array<std::expected<double, LineError>, 3> factor;
};
AxisFactors readFactors(const ResizeSettings &settings);

std::expected<std::string, LineError> transformCoordinateLine(std::string_view line, const AxisFactors &factors,
                                                              PrecisionMode precision);
std::expected<std::string, LineError> transformCoordinateLine(std::string_view line, const ResizeSettings &settings);

// The RIGHT, FORE and UP values of a coordinate line, read as a transform
// reads them: a line that fails here fails there with the same words.
std::expected<std::array<double, 3>, LineError> readCoordinateLine(std::string_view line);

// A finite value as a transform writes it: rounded half-even to the
// precision's decimals, at most 15 significant digits.
void appendWrittenNumber(std::string &out, double value, PrecisionMode precision);

inline constexpr std::array<const char *, 3> kAxisNames = {"RIGHT", "FORE", "UP"};
// "the RIGHT" and `what`, as messages name an axis's value or factor.
std::string axisWords(std::size_t axis, const char *what);

} // namespace morvane
