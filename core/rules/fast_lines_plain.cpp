// The fast path for any x86-64 (or other) processor: the reference the
// vector variants are held to.

#include "core/rules/fast_lines_template.h"

namespace morvane {

namespace {

// One number at a time; rounding to nearest even by the 2^52 shift: adding
// 2^52 to a value below it leaves no fraction bits.
std::size_t scalePlain(Batch &batch, std::size_t count, const double *factors, double scale)
{
    constexpr double kShift = 0x1p52;
    for (std::size_t i = 0; i < count; ++i) {
        const double product = batch.values[i] * factors[i % 3] * scale;
        // Signs by bit, not by branch: they follow no pattern.
        const double magnitude = __builtin_fabs(product);
        if (!(magnitude < kMaxScaled))
            return i / 3;
        const double rounded = (magnitude + kShift) - kShift;
        batch.scaled[i] = static_cast<std::int64_t>(__builtin_copysign(rounded, product));
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

FastProgress fastReadLinesPlain(const char *in, const char *end, double *values, std::size_t maxLines)
{
    return readLines<PlainSteps>(in, end, values, maxLines);
}

} // namespace morvane
