// The fast path for processors with AVX-512 (this file is built with
// -mavx512f -mavx512dq -mbmi2, and chosen only where the processor has
// them): eight numbers scaled at a step.

#include "core/rules/fast_lines_template.h"

#include <immintrin.h>

// GCC 12 takes the "undefined" registers inside its own AVX-512 intrinsics
// for uninitialised variables.
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace morvane {

namespace {

// The plain path's operations, eight lanes wide: the digits convert exactly
// (below 2^53), 10^fraction comes from one register by permutation, and the
// processor's own rounding to nearest even (roundscale) gives what the 2^52
// shift gives.
std::size_t scaleAvx512(Batch &batch, std::size_t count, const double *factors, double scale)
{
    static_assert(kMaxFraction < 8, "the powers of ten fit one register");
    const __m512d powers = _mm512_loadu_pd(kPowersOfTen);
    const __m512d scales = _mm512_set1_pd(scale);
    const __m512d limit = _mm512_set1_pd(kMaxScaled);
    const __m512i signBit = _mm512_set1_epi64(std::int64_t(1) << 63);
    // The factors of eight numbers from one on axis `first`.
    __m512d axisFactors[3];
    for (int first = 0; first < 3; ++first) {
        double lanes[8];
        for (int lane = 0; lane < 8; ++lane)
            lanes[lane] = factors[(first + lane) % 3];
        axisFactors[first] = _mm512_loadu_pd(lanes);
    }
    for (std::size_t i = 0; i < count; i += 8) {
        const __mmask8 live = count - i >= 8 ? __mmask8(0xFF) : __mmask8((1U << (count - i)) - 1);
        const __m512i digits = _mm512_maskz_loadu_epi64(live, batch.digits + i);
        const __m512i fraction = _mm512_maskz_loadu_epi64(live, batch.fraction + i);
        const __m512i negative = _mm512_maskz_loadu_epi64(live, batch.negative + i);
        __m512d value = _mm512_div_pd(_mm512_cvtepu64_pd(digits), _mm512_permutexvar_pd(fraction, powers));
        value = _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(value), _mm512_slli_epi64(negative, 63)));
        const __m512d product = _mm512_mul_pd(_mm512_mul_pd(value, axisFactors[i % 3]), scales);
        const __m512d magnitude = _mm512_castsi512_pd(_mm512_andnot_si512(signBit, _mm512_castpd_si512(product)));
        const __mmask8 outside = live & ~_mm512_cmp_pd_mask(magnitude, limit, _CMP_LT_OQ);
        const __m512d rounded = _mm512_roundscale_pd(product, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        _mm512_mask_storeu_epi64(batch.scaled + i, live, _mm512_cvtpd_epi64(rounded));
        if (outside != 0)
            return (i + static_cast<std::size_t>(__builtin_ctz(outside))) / 3;
    }
    return count / 3;
}

} // namespace

FastProgress fastLinesAvx512(const char *in, const char *end, const double *factors, int decimals, char *out,
                             std::size_t maxLines)
{
    return transformLinesAt(decimals, in, end, factors, out, maxLines, scaleAvx512);
}

} // namespace morvane
