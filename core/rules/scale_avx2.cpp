#include "core/rules/number_text.h"
#include "core/rules/scale_kernel.h"

#include <algorithm>
#include <bit>
#include <immintrin.h>

namespace morvane {

// Four numbers a step, by the plain kernel's operations. AVX2 has no
// conversions between doubles and 64-bit integers, so both go by the 2^52
// trick: below 2^52 an integer's bits are a double's mantissa bits, exactly.
__attribute__((target("avx2"))) std::size_t scaleAvx2(const ShortNumbers &numbers, std::size_t count,
                                                      const std::array<double, 3> &factors, int decimals,
                                                      std::int64_t *scaled)
{
    static_assert(ShortNumbers::kCapacity % 4 == 0, "whole steps never store past the room for results");
    const __m256d twoTo52 = _mm256_set1_pd(0x1p52);
    // 2^52 + 2^51 holds any integer below 2^51 in magnitude in its low bits.
    const __m256d integerShift = _mm256_set1_pd(0x1.8p52);
    const __m256d scale = _mm256_set1_pd(kPowersOfTen[decimals]);
    const __m256d limit = _mm256_set1_pd(kMaxScaled);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    __m256d axisFactors[3];
    for (int first = 0; first < 3; ++first)
        axisFactors[first] =
            _mm256_setr_pd(factors[first], factors[(first + 1) % 3], factors[(first + 2) % 3], factors[first]);
    for (std::size_t i = 0; i < count; i += 4) {
        // Lanes past `count` load zeros.
        const std::size_t live = std::min<std::size_t>(4, count - i);
        const __m256i liveLanes =
            _mm256_cmpgt_epi64(_mm256_set1_epi64x(std::int64_t(live)), _mm256_setr_epi64x(0, 1, 2, 3));
        const __m256d digits =
            _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(
                              _mm256_maskload_epi64(reinterpret_cast<const long long *>(numbers.digits + i), liveLanes),
                              _mm256_castpd_si256(twoTo52))),
                          twoTo52);
        const __m256i fraction =
            _mm256_maskload_epi64(reinterpret_cast<const long long *>(numbers.fraction + i), liveLanes);
        __m256d value = _mm256_div_pd(digits, _mm256_i64gather_pd(kPowersOfTen, fraction, 8));
        value = _mm256_xor_pd(
            value,
            _mm256_castsi256_pd(_mm256_slli_epi64(
                _mm256_maskload_epi64(reinterpret_cast<const long long *>(numbers.negative + i), liveLanes), 63)));
        const __m256d product = _mm256_mul_pd(_mm256_mul_pd(value, axisFactors[i % 3]), scale);
        const auto inside =
            unsigned(_mm256_movemask_pd(_mm256_cmp_pd(_mm256_andnot_pd(signBit, product), limit, _CMP_LT_OQ)));
        const __m256d rounded = _mm256_round_pd(product, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m256i units = _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(rounded, integerShift)),
                                               _mm256_castpd_si256(integerShift));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(scaled + i), units);
        const unsigned outside = ~inside & ((1U << live) - 1);
        if (outside)
            return (i + static_cast<std::size_t>(std::countr_zero(outside))) / 3;
    }
    return count / 3;
}

} // namespace morvane
