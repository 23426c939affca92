// The fast path for processors with AVX2 (this file is built with -mavx2
// -mbmi2, and chosen only where the processor has them): four numbers
// scaled at a step.

#include "core/rules/fast_lines_template.h"

#include <immintrin.h>

namespace morvane {

namespace {

// The plain path's operations, four lanes wide. AVX2 has no conversion
// from doubles to 64-bit integers, so it goes by the 2^52 trick: below
// 2^52 an integer's bits are a double's mantissa bits, exactly.
std::size_t scaleAvx2(Batch &batch, std::size_t count, const double *factors, double scale)
{
    static_assert(sizeof batch.scaled / sizeof batch.scaled[0] >= kBatchNumbers + 4, "a last step has room");
    // 2^52 + 2^51 holds any integer below 2^51 in magnitude in its low bits.
    const __m256d integerShift = _mm256_set1_pd(0x1.8p52);
    const __m256d scales = _mm256_set1_pd(scale);
    const __m256d limit = _mm256_set1_pd(kMaxScaled);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    __m256d axisFactors[3];
    for (int first = 0; first < 3; ++first)
        axisFactors[first] =
            _mm256_setr_pd(factors[first], factors[(first + 1) % 3], factors[(first + 2) % 3], factors[first]);
    for (std::size_t i = 0; i < count; i += 4) {
        // Lanes past `count` load zeros.
        const std::size_t live = count - i < 4 ? count - i : 4;
        const __m256i liveLanes =
            _mm256_cmpgt_epi64(_mm256_set1_epi64x(std::int64_t(live)), _mm256_setr_epi64x(0, 1, 2, 3));
        const __m256d value = _mm256_maskload_pd(batch.values + i, liveLanes);
        const __m256d product = _mm256_mul_pd(_mm256_mul_pd(value, axisFactors[i % 3]), scales);
        const auto inside =
            unsigned(_mm256_movemask_pd(_mm256_cmp_pd(_mm256_andnot_pd(signBit, product), limit, _CMP_LT_OQ)));
        const __m256d rounded = _mm256_round_pd(product, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m256i units = _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(rounded, integerShift)),
                                               _mm256_castpd_si256(integerShift));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(batch.scaled + i), units);
        const unsigned outside = ~inside & ((1U << live) - 1);
        if (outside != 0)
            return (i + static_cast<std::size_t>(__builtin_ctz(outside))) / 3;
    }
    return count / 3;
}

struct Avx2Steps : EachLineSteps {
    static constexpr auto scale = scaleAvx2;
};

} // namespace

FastProgress fastLinesAvx2(const char *in, const char *end, const double *factors, int decimals, char *out,
                           std::size_t maxLines)
{
    return transformLinesAt<Avx2Steps>(decimals, in, end, factors, out, maxLines);
}

FastProgress fastReadLinesAvx2(const char *in, const char *end, double *values, std::size_t maxLines)
{
    return readLines<Avx2Steps>(in, end, values, maxLines);
}

} // namespace morvane
