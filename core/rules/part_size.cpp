#include "core/rules/part_size.h"

#include "core/rules/number_text.h"
#include "core/rules/part_lines.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace morvane {

namespace {

LineError tooLarge(std::string subject) { return {ErrorKind::Overflow, subject + " is too large for a number"}; }

} // namespace

std::expected<double, LineError> axisSize(const AxisRange &range, std::size_t axis)
{
    const double size = range.max - range.min;
    if (!std::isfinite(size))
        return std::unexpected(tooLarge(axisWords(axis, " size")));
    return size;
}

std::string writtenNumber(double value, PrecisionMode precision)
{
    std::string text;
    appendWrittenNumber(text, value, precision);
    return text;
}

std::expected<AxisRange, LineError> rangeAfter(const AxisRange &range, double factor, std::size_t axis,
                                               PrecisionMode precision)
{
    const auto written = [&](double value) -> std::expected<double, LineError> {
        const double product = value * factor;
        if (!std::isfinite(product))
            return std::unexpected(tooLarge(axisWords(axis, " size after")));
        // The rules read back what they write: the value is the text's.
        return *parseNumber(writtenNumber(product, precision));
    };
    auto low = written(range.min);
    if (!low)
        return std::unexpected(low.error());
    auto high = written(range.max);
    if (!high)
        return std::unexpected(high.error());
    if (*high < *low)
        std::swap(*low, *high);
    return AxisRange{*low, *high};
}

std::expected<std::string, LineError> fittedFactor(std::string_view target, const AxisRange &range, std::size_t axis,
                                                   bool mirrored)
{
    const auto wanted = parseNumber(target);
    if (!wanted)
        return std::unexpected(LineError{wanted.error().kind, axisWords(axis, " size wanted ") + wanted.error().what});
    if (*wanted < 0)
        return std::unexpected(
            LineError{ErrorKind::InvalidArgument,
                      axisWords(axis, " size wanted is negative; to mirror, give a negative factor")});
    const auto size = axisSize(range, axis);
    if (!size)
        return std::unexpected(size.error());
    if (*size == 0)
        return std::unexpected(
            LineError{ErrorKind::InvalidArgument,
                      "the part is flat along " + std::string(kAxisNames[axis]) + ": it has no size there to fit"});
    const double factor = (mirrored ? -*wanted : *wanted) / *size;
    if (!std::isfinite(factor))
        return std::unexpected(tooLarge(axisWords(axis, " factor for that size")));
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, factor).ptr;
    return std::string(text, end);
}

} // namespace morvane
