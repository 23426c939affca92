#include "core/rules/number_text.h"
#include "core/rules/scale_kernel.h"

#include <bit>
#include <immintrin.h>

// GCC 12 takes the "undefined" registers inside its own AVX-512 intrinsics
// for uninitialised variables.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace morvane {

// Eight numbers a step, by the plain kernel's operations: the digits convert
// exactly (below 2^53), 10^fraction comes from one register by permutation,
// and rounding to nearest even is the processor's own (roundscale), which
// gives what roundScaledHalfEven gives below 2^52.
__attribute__((target("avx512f,avx512dq"))) std::size_t scaleAvx512(const ShortNumbers &numbers, std::size_t count,
                                                                    const std::array<double, 3> &factors, int decimals,
                                                                    std::int64_t *scaled)
{
    static_assert(ShortNumbers::kMaxFraction < 8, "the powers of ten fit one register");
    const __m512d powers = _mm512_loadu_pd(kPowersOfTen);
    const __m512d scale = _mm512_set1_pd(kPowersOfTen[decimals]);
    const __m512d limit = _mm512_set1_pd(kMaxScaled);
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
        const __m512i digits = _mm512_maskz_loadu_epi64(live, numbers.digits + i);
        const __m512i fraction = _mm512_maskz_loadu_epi64(live, numbers.fraction + i);
        const __m512i negative = _mm512_maskz_loadu_epi64(live, numbers.negative + i);
        __m512d value = _mm512_div_pd(_mm512_cvtepu64_pd(digits), _mm512_permutexvar_pd(fraction, powers));
        value = _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(value), _mm512_slli_epi64(negative, 63)));
        const __m512d product = _mm512_mul_pd(_mm512_mul_pd(value, axisFactors[i % 3]), scale);
        const __mmask8 outside = live & ~_mm512_cmp_pd_mask(_mm512_abs_pd(product), limit, _CMP_LT_OQ);
        const __m512d rounded = _mm512_roundscale_pd(product, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        _mm512_mask_storeu_epi64(scaled + i, live, _mm512_cvtpd_epi64(rounded));
        if (outside)
            return (i + static_cast<std::size_t>(std::countr_zero(unsigned(outside)))) / 3;
    }
    return count / 3;
}

} // namespace morvane
