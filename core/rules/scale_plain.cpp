#include "core/rules/number_text.h"
#include "core/rules/scale_kernel.h"

#include <cmath>

namespace morvane {

// The reference: one number at a time, by Clinger's exact division (the
// digits are an exact double, 10^fraction an exact power, so the quotient
// is the correctly rounded value from_chars reads).
std::size_t scalePlain(const ShortNumbers &numbers, std::size_t count, const std::array<double, 3> &factors,
                       int decimals, std::int64_t *scaled)
{
    const double scale = kPowersOfTen[decimals];
    for (std::size_t i = 0; i < count; ++i) {
        double value = static_cast<double>(numbers.digits[i]) / kPowersOfTen[numbers.fraction[i]];
        value = numbers.negative[i] ? -value : value;
        const double product = value * factors[i % 3] * scale;
        if (!(std::fabs(product) < kMaxScaled))
            return i / 3;
        scaled[i] = static_cast<std::int64_t>(roundScaledHalfEven(product));
    }
    return count / 3;
}

} // namespace morvane
