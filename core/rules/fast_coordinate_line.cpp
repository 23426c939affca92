#include "core/rules/fast_coordinate_line.h"

#include <string>

namespace morvane {

std::size_t availableFastPaths(std::array<FastPathVariant, 3> &variants)
{
    std::size_t count = 0;
    variants[count++] = {"plain", fastLinesPlain, fastReadLinesPlain};
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2"))
        variants[count++] = {"AVX2", fastLinesAvx2, fastReadLinesAvx2};
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")
        && __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2"))
        variants[count++] = {"AVX-512", fastLinesAvx512, fastReadLinesAvx512};
    return count;
}

namespace {

const FastPathVariant &bestVariant()
{
    static const FastPathVariant best = [] {
        std::array<FastPathVariant, 3> variants;
        return variants[availableFastPaths(variants) - 1];
    }();
    return best;
}

} // namespace

FastLines bestFastPath() { return bestVariant().transform; }

FastReadLines bestFastReader() { return bestVariant().read; }

std::optional<std::size_t> fastTransformCoordinateLine(std::string_view line, const std::array<double, 3> &factors,
                                                       int decimals, char *out, FastLines transform)
{
    // A CR at the end is data, never half of the terminator added here.
    if (line.ends_with('\r'))
        return std::nullopt;
    std::string padded(line);
    padded += '\n';
    const std::size_t length = padded.size();
    padded.append(kFastReadAhead, '\0');
    const FastProgress progress = transform(padded.data(), padded.data() + length, factors.data(), decimals, out, 1);
    if (progress.lines != 1 || progress.consumed != length)
        return std::nullopt;
    return progress.written;
}

} // namespace morvane
