// The fast path for any x86-64 (or other) processor: the reference the
// vector variants are held to.

#include "core/rules/fast_lines_template.h"

namespace morvane {

namespace {

// Number i of the batch, as parseNumber reads it.
double valueAt(const Batch &batch, std::size_t i)
{
    const double value = static_cast<double>(batch.digits[i]) / kPowersOfTen[batch.fraction[i]];
    return batch.negative[i] ? -value : value;
}

// One number at a time; rounding to nearest even by the 2^52 shift: adding
// 2^52 to a value below it leaves no fraction bits.
std::size_t scalePlain(Batch &batch, std::size_t count, const double *factors, double scale)
{
    constexpr double kShift = 0x1p52;
    for (std::size_t i = 0; i < count; ++i) {
        const double product = valueAt(batch, i) * factors[i % 3] * scale;
        const double magnitude = product < 0 ? -product : product;
        if (!(magnitude < kMaxScaled))
            return i / 3;
        const double rounded = (magnitude + kShift) - kShift;
        batch.scaled[i] = static_cast<std::int64_t>(product < 0 ? -rounded : rounded);
    }
    return count / 3;
}

struct PlainSteps : EachLineSteps {
    static constexpr auto scale = scalePlain;
};

} // namespace

FastProgress fastLinesPlain(const char *in, const char *end, const double *factors, int decimals, char *out,
                            std::size_t maxLines)
{
    return transformLinesAt<PlainSteps>(decimals, in, end, factors, out, maxLines);
}

} // namespace morvane

namespace morvane {

FastProgress fastReadLines(const char *in, const char *end, double *values, std::size_t maxLines)
{
    FastProgress progress;
    Batch batch;
    while (progress.lines < maxLines) {
        const std::size_t left = maxLines - progress.lines;
        const std::size_t wanted = left < kBatchLines ? left : kBatchLines;
        const std::size_t read = readEach(in + progress.consumed, end, batch, wanted);
        for (std::size_t i = 0; i < 3 * read; ++i)
            values[3 * progress.lines + i] = valueAt(batch, i);
        for (std::size_t line = 0; line < read; ++line)
            progress.consumed += batch.lengths[line];
        progress.lines += read;
        if (read < wanted)
            break;
    }
    return progress;
}

} // namespace morvane
