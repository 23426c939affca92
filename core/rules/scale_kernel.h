#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace morvane {

// Scaled results below this have at most 15 digits, so their plain text is
// the scaled integer with a decimal point put in; they are also below 2^52,
// where roundScaledHalfEven holds and a double converts to an integer
// exactly.
inline constexpr double kMaxScaled = 1e15;
static_assert(kMaxScaled <= 0x1p52);

// Numbers read by the fast path, in the order of their lines and axes: the
// value is ±digits / 10^fraction, digits below 10^15.
struct ShortNumbers {
    static constexpr std::size_t kCapacity = 96; // 32 lines of three
    static constexpr int kMaxFraction = 7;
    alignas(64) std::uint64_t digits[kCapacity];
    alignas(64) std::int64_t fraction[kCapacity]; // 0 to kMaxFraction
    alignas(64) std::uint64_t negative[kCapacity]; // 0 or 1
};
using ScaledNumbers = std::int64_t[ShortNumbers::kCapacity];

// Scales `count` numbers: value times the factor of its axis (number i is
// on axis i % 3) times 10^decimals, rounded half to even into `scaled`
// (room for kCapacity; slots past `count` may be written), as
// the general rules do it: the same operations on the same doubles, each
// rounded to nearest. Returns how many lines (threes) are done: it stops
// before the first line with a result of 10^15 or more in scaled units,
// which is the general rules' to write.
using ScaleKernel = std::size_t (*)(const ShortNumbers &numbers, std::size_t count,
                                    const std::array<double, 3> &factors, int decimals, std::int64_t *scaled);

std::size_t scalePlain(const ShortNumbers &, std::size_t, const std::array<double, 3> &, int, std::int64_t *);
std::size_t scaleAvx2(const ShortNumbers &, std::size_t, const std::array<double, 3> &, int, std::int64_t *);
std::size_t scaleAvx512(const ShortNumbers &, std::size_t, const std::array<double, 3> &, int, std::int64_t *);

// The kernels this processor can run, the plain one first.
struct NamedKernel {
    const char *name;
    ScaleKernel kernel;
};
std::size_t availableKernels(std::array<NamedKernel, 3> &kernels);
// The fastest of them.
ScaleKernel bestScaleKernel();

} // namespace morvane
