// The fast path for processors with AVX-512 and its byte permutations (this
// file is built with -mavx512f, -dq, -vl, -bw, -cd, -vbmi and -mbmi2, and
// chosen only where the processor has them): a line compared at a step,
// then eight numbers read, scaled and turned into text at a step.

#include "core/rules/fast_lines_template.h"

#include <immintrin.h>

// GCC 12 takes the "undefined" registers inside its own AVX-512 intrinsics
// for uninitialised variables.
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace morvane {

namespace {

// The lanes of a step from number `i` that hold one of `count` numbers.
inline __mmask8 liveLanes(std::size_t count, std::size_t i)
{
    return count - i >= 8 ? __mmask8(0xFF) : __mmask8((1U << (count - i)) - 1);
}

// The plain path's operations, eight lanes wide: the processor's own
// rounding to nearest even (roundscale) gives what the 2^52 shift gives.
std::size_t scaleAvx512(Batch &batch, std::size_t count, const double *factors, double scale)
{
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
        const __mmask8 live = liveLanes(count, i);
        const __m512d value = _mm512_maskz_loadu_pd(live, batch.values + i);
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

// readEach, with the bytes of a line compared 64 at a time and its numbers
// read eight at a step. Where one load holds the line, its commas and its
// LF place the three fields; the byte permutation of AVX-512 VBMI moves each
// field (less its sign) into a 16-byte slot, followed by commas. The slots
// are then read one number in each 64-bit lane, two words a slot, as
// readDecimal reads: the point taken out by shifting what follows it down a
// byte, the digits joined eight and eight, the exponent read from the bytes
// after them; the field is taken when all of it is read. Blanks around a
// field are left out of its slot; the fields of a line with one longer than
// a slot go to wider lanes (readWideDecimals where the line's fields are
// plain decimals, readWide where not). readDecimal reads any field the lanes
// leave, and readLine any line with other bytes below ' ', a field longer
// than a wide slot, or more bytes than a load.
constexpr int kSlotBytes = 16;
constexpr int kSlotWhole = 7; // digits before the point, at most
constexpr int kSlotMaxPower = 15;
constexpr int kSlotExponentDigits = 3; // at most
static_assert(kFastReadAhead >= 64, "a line's first 64 bytes are one load");
static_assert(kSlotMaxPower <= kMaxExactPower && kSlotExponentDigits <= kMaxExponentDigits,
              "a slot takes no more than readDecimal takes");
static_assert(1 + 1 + kSlotExponentDigits <= 8, "an exponent lies in the word after the mantissa");

// The lowest set bit of each lane, divided by 8; more than 8 where none is
// set.
inline __m512i firstByte(__m512i bits)
{
    const __m512i lowest = _mm512_and_si512(bits, _mm512_sub_epi64(_mm512_setzero_si512(), bits));
    return _mm512_srli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(63), _mm512_lzcnt_epi64(lowest)), 3);
}

// For each lane of bytes less '0': the high bit of each byte that is not a
// digit, as notDigitBits finds them.
inline __m512i notDigits(__m512i values)
{
    const __m512i high = _mm512_set1_epi64(0x80 * kEachByte);
    const __m512i sum = _mm512_add_epi64(_mm512_andnot_si512(high, values), _mm512_set1_epi64(0x76 * kEachByte));
    return _mm512_and_si512(_mm512_or_si512(sum, values), high);
}

// The eight digit values of each lane as one number, the first in the
// lowest byte, as valueOfDigits joins them: pairs, fours and eight by
// multiply-adds.
inline __m512i eightDigitsValue(__m512i v)
{
    const __m512i pairs = _mm512_maddubs_epi16(v, _mm512_set1_epi16(10 + (1 << 8)));
    const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(100 + (1 << 16)));
    return _mm512_add_epi64(_mm512_mul_epu32(fours, _mm512_set1_epi64(10000)), _mm512_srli_epi64(fours, 32));
}

// The first `count` (0 to 8) of them, moved to the top; a count of 0 gives 0.
inline __m512i valuesOfDigits(__m512i values, __m512i count)
{
    return eightDigitsValue(
        _mm512_sllv_epi64(values, _mm512_slli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(8), count), 3)));
}

// The 16 bytes (low, high) of each lane shifted down by `bytes` (0 to 16);
// shifts of 64 bits or more give 0.
inline __m512i bytesFrom(__m512i low, __m512i high, __m512i bytes)
{
    const __m512i bits = _mm512_slli_epi64(bytes, 3);
    const __m512i sixtyFour = _mm512_set1_epi64(64);
    return _mm512_or_si512(
        _mm512_or_si512(_mm512_srlv_epi64(low, bits), _mm512_sllv_epi64(high, _mm512_sub_epi64(sixtyFour, bits))),
        _mm512_srlv_epi64(high, _mm512_sub_epi64(bits, sixtyFour)));
}

// An exponent, (e|E)[+|-]digits, where one begins each lane's 8 bytes
// `after`: its value onto q and its bytes onto `taken`. The lanes where it
// has no digits, or more than `maxDigits`, are left out of the mask.
inline __mmask8 readExponent(__m512i after, __m512i &q, __m512i &taken, int maxDigits)
{
    const __m512i byteMask = _mm512_set1_epi64(0xFF);
    const __m512i zero = _mm512_setzero_si512();
    const __mmask8 exponent = _mm512_cmpeq_epi64_mask(
        _mm512_and_si512(_mm512_or_si512(after, _mm512_set1_epi64(0x20)), byteMask), _mm512_set1_epi64('e'));
    const __m512i signByte = _mm512_and_si512(_mm512_srli_epi64(after, 8), byteMask);
    const __mmask8 negativeExponent = _mm512_cmpeq_epi64_mask(signByte, _mm512_set1_epi64('-'));
    const __mmask8 signed_ = negativeExponent | _mm512_cmpeq_epi64_mask(signByte, _mm512_set1_epi64('+'));
    const __m512i exponentValues = _mm512_xor_si512(
        _mm512_mask_srli_epi64(_mm512_srli_epi64(after, 8), signed_, after, 16), _mm512_set1_epi64(0x30 * kEachByte));
    const __m512i exponentDigits =
        _mm512_maskz_min_epu64(exponent, firstByte(notDigits(exponentValues)), _mm512_set1_epi64(8));
    const __m512i exponentValue = valuesOfDigits(exponentValues, exponentDigits);
    q = _mm512_add_epi64(q, _mm512_mask_sub_epi64(exponentValue, negativeExponent, zero, exponentValue));
    taken = _mm512_add_epi64(
        taken,
        _mm512_maskz_add_epi64(exponent, exponentDigits,
                               _mm512_mask_blend_epi64(signed_, _mm512_set1_epi64(1), _mm512_set1_epi64(2))));
    return (~exponent | _mm512_cmpneq_epi64_mask(exponentDigits, zero))
        & _mm512_cmple_epu64_mask(exponentDigits, _mm512_set1_epi64(maxDigits));
}

// An exponent as printf writes it, e+dd or e-dd, where one begins each
// lane's 8 bytes `after` and the field ends after it, at `span`: its value
// onto q and its 4 bytes onto `taken`, in a few steps where readExponent
// takes many. Other lanes are left as they are, for readExponent.
inline void exponentAtAGlance(__m512i after, __m512i span, __m512i &q, __m512i &taken)
{
    const __m512i head = _mm512_and_si512(after, _mm512_set1_epi64(0xF0F0FFDF)); // 'e' as 'E', digits' high nibbles
    const __mmask8 plus = _mm512_cmpeq_epi64_mask(head, _mm512_set1_epi64(0x30302B45));
    const __mmask8 minus = _mm512_cmpeq_epi64_mask(head, _mm512_set1_epi64(0x30302D45));
    const __m512i digits = _mm512_and_si512(_mm512_srli_epi64(after, 16), _mm512_set1_epi64(0x0F0F));
    const __mmask8 glance = (plus | minus)
        & _mm512_testn_epi64_mask(_mm512_add_epi64(digits, _mm512_set1_epi64(0x0606)), _mm512_set1_epi64(0x1010))
        & _mm512_cmpeq_epi64_mask(_mm512_add_epi64(taken, _mm512_set1_epi64(4)), span);
    const __m512i tens = _mm512_and_si512(digits, _mm512_set1_epi64(0x0F));
    const __m512i exponent = _mm512_add_epi64(_mm512_add_epi64(_mm512_slli_epi64(tens, 3), _mm512_slli_epi64(tens, 1)),
                                              _mm512_srli_epi64(digits, 8));
    q = _mm512_mask_add_epi64(q, glance & plus, q, exponent);
    q = _mm512_mask_sub_epi64(q, glance & minus, q, exponent);
    taken = _mm512_mask_add_epi64(taken, glance, taken, _mm512_set1_epi64(4));
}

// readLine, out of the lanes' loop, whose registers it would take.
[[gnu::noinline]] std::size_t readLineApart(const char *in, const char *end, Batch &batch, std::size_t line)
{
    return readLine(in, end, batch, line);
}

// Field k (0 to 2) of a line whose LF follows at least two commas after
// its "",: between those commas, the last up to the CR LF or LF.
struct Field {
    const char *start, *end;
};

inline Field fieldOf(const char *line, std::size_t k)
{
    const char *p = line + 3;
    for (std::size_t comma = 0; comma < k; ++comma) {
        while (*p != ',')
            ++p;
        ++p;
    }
    const char *end = p;
    while (*end != '\n' && (k == 2 || *end != ','))
        ++end;
    end -= k == 2 && end[-1] == '\r';
    return {p, end};
}

// Fields of 17 to 32 bytes, as %.17g and %.16e write them, go to wider
// lanes: a 32-byte slot each, four words a lane, read as the narrow lanes
// read two.
// Up to kMaxDigits digits join; past 2^53, where one rounding is not enough,
// a second step corrects it (twoStepMagnitude).
constexpr int kWideSlotBytes = 32;
static_assert(kWideSlotBytes % 8 == 0 && kWideSlotBytes <= kFastFieldMax, "a wide slot is whole words, within a field");

// The words of each lane's slot, and one of commas after them.
constexpr int kWideWords = kWideSlotBytes / 8;
using WideWords = __m512i[kWideWords + 1];

// Fields for wide lanes: a slot each, with its length less the sign, its
// sign, its place among the batch's numbers and, for plain decimals, where
// its point is (decimalPoint). A line's stores may run a slot past its last.
struct WideFields {
    alignas(64) char slots[kWideSlotBytes * (kBatchNumbers + 8)];
    std::uint8_t spans[kBatchNumbers + 8];
    std::uint8_t negative[kBatchNumbers + 8];
    std::uint8_t at[kBatchNumbers + 8];
    std::uint8_t points[kBatchNumbers + 8];
    std::size_t count;
};
static_assert(kBatchNumbers <= 255, "a place fits a byte");

// Word k (0 to kWideWords, more gives the last) of each lane.
inline __m512i wordAt(const WideWords &x, __m512i k)
{
    __m512i word = x[0];
#pragma GCC unroll 8
    for (int w = 1; w <= kWideWords; ++w)
        word = _mm512_mask_mov_epi64(word, _mm512_cmpge_epu64_mask(k, _mm512_set1_epi64(w)), x[w]);
    return word;
}

// The 8 bytes from byte `at` of each lane's words.
inline __m512i bytesAt(const WideWords &x, __m512i at)
{
    const __m512i word = _mm512_srli_epi64(at, 3);
    return bytesFrom(wordAt(x, word), wordAt(x, _mm512_add_epi64(word, _mm512_set1_epi64(1))),
                     _mm512_and_si512(at, _mm512_set1_epi64(7)));
}

// The byte at `at` of each lane's words.
inline __m512i byteAt(const WideWords &x, __m512i at)
{
    return _mm512_and_si512(_mm512_srlv_epi64(wordAt(x, _mm512_srli_epi64(at, 3)),
                                              _mm512_slli_epi64(_mm512_and_si512(at, _mm512_set1_epi64(7)), 3)),
                            _mm512_set1_epi64(0xFF));
}

// Of each lane's first `count` bytes, how many lie in word w: 0 to 8.
inline __m512i bytesInWord(__m512i count, int w)
{
    return _mm512_min_epi64(_mm512_max_epi64(_mm512_sub_epi64(count, _mm512_set1_epi64(8 * w)), _mm512_setzero_si512()),
                            _mm512_set1_epi64(8));
}

// Eight bytes, one to each lane.
inline __m512i lanesOfBytes(const std::uint8_t *bytes)
{
    return _mm512_cvtepu8_epi64(_mm_cvtsi64_si128(std::int64_t(load8(reinterpret_cast<const char *>(bytes)))));
}

// Clinger's fast path, as readDecimal takes it: w and 10^|q| exact doubles,
// one multiplication or division.
inline __m512d clingerMagnitude(__m512d w, __m512d power, __mmask8 negativeQ)
{
    return _mm512_mask_div_pd(_mm512_mul_pd(w, power), negativeQ, w, power);
}

// The first byte of each lane's words (bytes less '0') that is not a digit;
// kWideSlotBytes where all are.
inline __m512i firstNotDigit(const WideWords &values)
{
    __m512i at = _mm512_set1_epi64(kWideSlotBytes);
#pragma GCC unroll 8
    for (int w = kWideWords; w-- > 0;) {
        const __m512i inWord = firstByte(notDigits(values[w]));
        at = _mm512_mask_add_epi64(at, _mm512_cmplt_epu64_mask(inWord, _mm512_set1_epi64(8)), inWord,
                                   _mm512_set1_epi64(8 * w));
    }
    return at;
}

// q1 + t, rounded, where q1 > 0 (or q1 = t = 0) and t lies within 2^-49
// ulp(q1) of the rest of a value past q1, |t| < 4 ulp(q1): the nearest
// double to the value, unless t nudged either way by q1 x 2^-100 (2^-48 to
// 2^-47 ulp(q1), past that error and the nudge's own rounding) rounds the
// sum apart, as near a midpoint between doubles: those lanes come back in
// `unsure`. Rounding is monotonic, so where both agree, so does every value
// between them.
inline __m512d nearestOfSum(__m512d q1, __m512d t, __mmask8 &unsure)
{
    const __m512d nudge = _mm512_mul_pd(q1, _mm512_set1_pd(0x1p-100));
    const __m512d up = _mm512_add_pd(q1, _mm512_add_pd(t, nudge));
    const __m512d down = _mm512_add_pd(q1, _mm512_sub_pd(t, nudge));
    unsure = _mm512_cmp_pd_mask(up, down, _CMP_NEQ_UQ);
    return up;
}

// twoStepMagnitude, eight lanes wide, for w below 10^19 and |q| <= 22: w =
// hi + lo, hi its nearest double. q1 is hi x 10^q in one rounding where q >=
// 0, and within 1.5 ulp of hi x 10^q where q < 0 (hi / 10^-q rounded, or hi
// x RN(10^q)); the fma gives the part q1 missed, within 2^-53 of it, and
// with lo's share, times 10^q (or RN(10^q)), the rest t comes within 9 x
// 2^-53 ulp(q1) of w x 10^q - q1 (nearestOfSum). Every value here is a
// normal double or 0: w / 10^22 >= 10^-22.
inline __m512d twoStepMagnitude(__m512i w, __m512d hi, __m512d q1, __m512d power, __m512d reciprocal, __mmask8 negative,
                                __mmask8 &unsure)
{
    const __m512d lo = _mm512_cvtepi64_pd(_mm512_sub_epi64(w, _mm512_cvtpd_epu64(hi)));
    const __m512d t =
        _mm512_mask_blend_pd(negative, _mm512_fmadd_pd(lo, power, _mm512_fmsub_pd(hi, power, q1)),
                             _mm512_mul_pd(_mm512_add_pd(_mm512_fnmadd_pd(q1, power, hi), lo), reciprocal));
    return nearestOfSum(q1, t, unsure);
}

// The read values of eight lanes from wide fields `i` on into `values` at
// their places; a bit in `left` for each lane not `exact`.
inline void placeLanes(const WideFields &fields, std::size_t i, __mmask8 live, __mmask8 exact, __m512d magnitude,
                       double *values, std::uint64_t *left)
{
    const __m512i sign = _mm512_slli_epi64(lanesOfBytes(fields.negative + i), 63);
    const __m512d signed_ = _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(magnitude), sign));
    // Eight numbers in turn, as where every line of a step is wide.
    if (exact == 0xFF && fields.at[i + 7] == fields.at[i] + 7) {
        _mm512_storeu_pd(values + fields.at[i], signed_);
        return;
    }
    alignas(64) double read[8];
    _mm512_store_pd(read, signed_);
    for (unsigned lanes = live; lanes != 0; lanes &= lanes - 1) {
        const unsigned lane = unsigned(__builtin_ctz(lanes));
        const std::size_t place = fields.at[i + lane];
        if ((exact >> lane) & 1)
            values[place] = read[lane];
        else
            left[place / 64] |= std::uint64_t(1) << (place % 64);
    }
}

// The nearest doubles to 10^-k.
constexpr double kTenths[] = {1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
                              1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
static_assert(sizeof kTenths == sizeof kPowersOfTen, "a reciprocal for each power");

// A table of powers, k = 0 to kMaxExactPower, in three registers, for the
// wide lanes.
struct ExactPowers {
    static_assert(kMaxExactPower < 24, "the powers fill three registers at most");
    const double *const table;
    const __m512d low = _mm512_loadu_pd(table);
    const __m512d middle = _mm512_loadu_pd(table + 8);
    const __m512d high = _mm512_maskz_loadu_pd(__mmask8((1U << (kMaxExactPower + 1 - 16)) - 1), table + 16);
    // The power for each lane's k.
    __m512d of(__m512i k) const
    {
        return _mm512_mask_permutexvar_pd(_mm512_permutex2var_pd(low, k, middle),
                                          _mm512_cmpge_epu64_mask(k, _mm512_set1_epi64(16)), k, high);
    }
};

// The slots of eight wide fields from `i` on, two a load; word w of each
// lane by two permutations, each taking four lanes' from two loads.
struct WideStep {
    static_assert(kWideWords == 4, "two slots fill a load");
    const char *const slots;
    const __m512i a = _mm512_load_si512(slots), b = _mm512_load_si512(slots + 64);
    const __m512i c = _mm512_load_si512(slots + 128), d = _mm512_load_si512(slots + 192);
    __m512i word(int w) const
    {
        const __m512i index = _mm512_add_epi64(_mm512_set_epi64(12, 8, 4, 0, 12, 8, 4, 0), _mm512_set1_epi64(w));
        return _mm512_mask_blend_epi64(0xF0, _mm512_permutex2var_epi64(a, index, b),
                                       _mm512_permutex2var_epi64(c, index, d));
    }
};

// The wide fields' values into `values` at their places; a bit in `left`
// for each they leave.
[[gnu::noinline]] void readWide(const WideFields &fields, double *values, std::uint64_t *left)
{
    const __m512i asciiZeros = _mm512_set1_epi64(0x30 * kEachByte);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i eight = _mm512_set1_epi64(8);
    const __m512i digitPowers = _mm512_loadu_si512(kDigitPowers);
    const ExactPowers powers{kPowersOfTen}, reciprocals{kTenths};
    for (std::size_t i = 0; i < fields.count; i += 8) {
        const __mmask8 live = liveLanes(fields.count, i);
        const WideStep step{fields.slots + kWideSlotBytes * i};
        WideWords x;
        WideWords bytes; // less '0'
#pragma GCC unroll 8
        for (int w = 0; w < kWideWords; ++w) {
            x[w] = step.word(w);
            bytes[w] = _mm512_xor_si512(x[w], asciiZeros);
        }
        x[kWideWords] = _mm512_set1_epi8(',');
        bytes[kWideWords] = _mm512_xor_si512(x[kWideWords], asciiZeros);
        // The whole digits, then a point or not; the digits less the point:
        // from it on, each byte the one after it.
        const __m512i whole = firstNotDigit(bytes);
        const __mmask8 point = _mm512_cmpeq_epi64_mask(byteAt(x, whole), _mm512_set1_epi64('.'));
        WideWords digitValues;
#pragma GCC unroll 8
        for (int w = 0; w <= kWideWords; ++w) {
            const __m512i next = w < kWideWords ? bytes[w + 1] : bytes[w];
            const __m512i shifted = _mm512_or_si512(_mm512_srli_epi64(bytes[w], 8), _mm512_slli_epi64(next, 56));
            // The bytes of this word before the point.
            const __m512i keptBytes =
                _mm512_sub_epi64(_mm512_sllv_epi64(_mm512_set1_epi64(1), _mm512_slli_epi64(bytesInWord(whole, w), 3)),
                                 _mm512_set1_epi64(1));
            digitValues[w] = _mm512_mask_or_epi64(bytes[w], point, _mm512_and_si512(bytes[w], keptBytes),
                                                  _mm512_andnot_si512(keptBytes, shifted));
        }
        const __m512i digits = firstNotDigit(digitValues);
        // Up to 8 digits from each of the first three words.
        __m512i w = zero;
#pragma GCC unroll 8
        for (int word = 0; word < 3; ++word) {
            const __m512i inWord = bytesInWord(digits, word);
            // 10^8 lies past the register's eight powers.
            const __m512i power =
                _mm512_mask_mov_epi64(_mm512_permutexvar_epi64(inWord, digitPowers),
                                      _mm512_cmpeq_epi64_mask(inWord, eight), _mm512_set1_epi64(kDigitPowers[8]));
            w = _mm512_add_epi64(_mm512_mullo_epi64(w, power), valuesOfDigits(digitValues[word], inWord));
        }
        __m512i taken = _mm512_mask_add_epi64(digits, point, digits, _mm512_set1_epi64(1));
        __m512i q = _mm512_maskz_sub_epi64(point, whole, digits);
        const __m512i span = lanesOfBytes(fields.spans + i);
        __mmask8 exponentDigitsOk = 0xFF;
        if ((live & _mm512_cmpneq_epi64_mask(taken, span)) != 0) {
            exponentDigitsOk = readExponent(bytesAt(x, taken), q, taken, kMaxExponentDigits);
        }
        const __m512i magnitudeOfQ = _mm512_abs_epi64(q);
        __mmask8 exact = live & _mm512_cmpeq_epi64_mask(taken, span) & exponentDigitsOk
            & _mm512_cmpneq_epi64_mask(digits, zero) & _mm512_cmple_epu64_mask(digits, _mm512_set1_epi64(kMaxDigits))
            & _mm512_cmple_epu64_mask(magnitudeOfQ, _mm512_set1_epi64(kMaxExactPower));
        // Clinger's fast path, and past 2^53 its second step.
        const __m512d power = powers.of(magnitudeOfQ);
        const __mmask8 negativeQ = _mm512_cmplt_epi64_mask(q, zero);
        const __m512d hi = _mm512_cvtepu64_pd(w);
        __m512d magnitude = clingerMagnitude(hi, power, negativeQ);
        const __mmask8 past = exact & _mm512_cmpgt_epu64_mask(w, _mm512_set1_epi64(std::int64_t(kMaxExactDigits)));
        if (past != 0) {
            __mmask8 unsure;
            magnitude = _mm512_mask_mov_pd(
                magnitude, past,
                twoStepMagnitude(w, hi, magnitude, power, reciprocals.of(magnitudeOfQ), negativeQ, unsure));
            exact &= ~(past & unsure);
        }
        placeLanes(fields, i, live, exact, magnitude, values, left);
    }
}

// Plain decimals of up to kDecimalBytes bytes, without an exponent, go to
// wide lanes of their own, where the work is at fixed places: each field is
// right-aligned in a slot of '0's, and the bytes up to its point moved up
// one over it, which leaves the digits alone in the slot's last
// kDecimalBytes bytes, joined eight and eight.
constexpr int kDecimalBytes = 24;
static_assert(kDecimalBytes % 8 == 0 && kDecimalBytes < kWideSlotBytes, "a decimal's words lie after a slot's first");
// The three words join below 2^64 where the first is below 1000: the lanes
// take only those, at most kMaxDigits digits.
static_assert(kDecimalBytes == 24 && kMaxDigits == 3 + 16, "the first word's last three digits and two words");

// In `points`: for a field with a point, the count of slot bytes up to and
// with it; 0 for one without.
inline std::uint8_t decimalPoint(std::uint64_t dotsInField, unsigned length)
{
    return dotsInField == 0 ? 0 : std::uint8_t(kWideSlotBytes + 1 - length + _tzcnt_u64(dotsInField));
}

// The plain decimals' values into `values` at their places; a bit in
// `left` for each they leave.
[[gnu::noinline]] void readWideDecimals(const WideFields &fields, double *values, std::uint64_t *left)
{
    const __m512i asciiZeros = _mm512_set1_epi64(0x30 * kEachByte);
    const __m512i zero = _mm512_setzero_si512();
    const ExactPowers powers{kPowersOfTen}, reciprocals{kTenths};
    constexpr int kFirstWord = (kWideSlotBytes - kDecimalBytes) / 8;
    for (std::size_t i = 0; i < fields.count; i += 8) {
        const __mmask8 live = liveLanes(fields.count, i);
        const WideStep step{fields.slots + kWideSlotBytes * i};
        const __m512i moved = lanesOfBytes(fields.points + i);
        // The count in each byte of its lane, to be held to each byte's place.
        const __m512i movedBytes = _mm512_shuffle_epi8(
            moved, _mm512_set_epi64(kEachByte * 8, 0, kEachByte * 8, 0, kEachByte * 8, 0, kEachByte * 8, 0));
        // The digit values, the point's byte taken by the one before it;
        // the word before the first holds '0's only.
        __m512i digits[kWideWords];
        __m512i before = zero;
#pragma GCC unroll 8
        for (int w = kFirstWord; w < kWideWords; ++w) {
            const __m512i values = _mm512_xor_si512(step.word(w), asciiZeros);
            const __mmask64 movedUp = _mm512_cmplt_epu8_mask(
                _mm512_set1_epi64(std::int64_t(0x0706050403020100ULL + kEachByte * 8 * w)), movedBytes);
            const __m512i up = _mm512_or_si512(_mm512_slli_epi64(values, 8), _mm512_srli_epi64(before, 56));
            digits[w] = _mm512_mask_blend_epi8(movedUp, values, up);
            before = values;
        }
        // A byte over 9 in any word: a lane with a byte that is not a digit.
        const __m512i notDigit = _mm512_subs_epu8(
            _mm512_max_epu8(digits[kFirstWord], _mm512_max_epu8(digits[kFirstWord + 1], digits[kFirstWord + 2])),
            _mm512_set1_epi8(9));
        static_assert(kWideWords - kFirstWord == 3, "three words of digits");
        const __m512i high = eightDigitsValue(digits[kFirstWord]);
        const __m512i w =
            _mm512_add_epi64(_mm512_mullo_epi64(_mm512_add_epi64(_mm512_mul_epu32(high, _mm512_set1_epi64(100000000)),
                                                                 eightDigitsValue(digits[kFirstWord + 1])),
                                                _mm512_set1_epi64(100000000)),
                             eightDigitsValue(digits[kFirstWord + 2]));
        const __mmask8 point = _mm512_test_epi64_mask(moved, moved);
        // The digits after the point, at most kMaxExactPower of them.
        const __m512i magnitudeOfQ = _mm512_maskz_sub_epi64(point, _mm512_set1_epi64(kWideSlotBytes), moved);
        const __m512i span = lanesOfBytes(fields.spans + i);
        __mmask8 exact = live & _mm512_testn_epi64_mask(notDigit, notDigit)
            & _mm512_cmplt_epu64_mask(high, _mm512_set1_epi64(1000))
            & _mm512_cmpgt_epu64_mask(span, _mm512_maskz_mov_epi64(point, _mm512_set1_epi64(1)))
            & _mm512_cmple_epu64_mask(magnitudeOfQ, _mm512_set1_epi64(kMaxExactPower));
        // w x 10^-k by twoStepMagnitude, for every w, past 2^53 or not, from
        // q1 = hi x RN(10^-k): no division.
        const __m512d reciprocal = reciprocals.of(magnitudeOfQ);
        const __m512d hi = _mm512_cvtepu64_pd(w);
        __mmask8 unsure;
        const __m512d magnitude =
            twoStepMagnitude(w, hi, _mm512_mul_pd(hi, reciprocal), powers.of(magnitudeOfQ), reciprocal, 0xFF, unsure);
        exact &= ~unsure;
        placeLanes(fields, i, live, exact, magnitude, values, left);
    }
}

std::size_t readAvx512(const char *p, const char *end, Batch &batch, std::size_t wanted)
{
    // 16 bytes a field; a line's store writes a fourth slot, and a last step
    // reads eight.
    alignas(64) char fields[kSlotBytes * (kBatchNumbers + 8)];
    alignas(64) std::int64_t spans[kBatchNumbers + 8];
    alignas(64) std::uint64_t negative[kBatchNumbers + 8];
    const char *lineStarts[kBatchLines]; // for readDecimal to find a field the lanes leave
    // A bit for each number of a line the narrow lanes do not read.
    std::uint64_t byLine[2] = {};
    // A bit for each number left to readDecimal.
    std::uint64_t left[2] = {};
    // The wide fields: plain decimals, and the others.
    WideFields wideDecimals, wideFields;
    wideDecimals.count = wideFields.count = 0;
    static_assert(kBatchNumbers <= 128 && 64 % 8 == 0, "eight numbers' bits lie in one word");
    const __m512i offsets = _mm512_set_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11,
                                            10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4,
                                            3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    // Byte k of a 64-bit word to each byte of slot k.
    const __m512i slotOfByte =
        _mm512_set_epi8(3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
                        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i commas = _mm512_set1_epi8(',');
    std::size_t read = 0;
    for (; read < wanted; ++read) {
        if (!beginsCoordinateLine(p))
            break;
        const __m512i text = _mm512_loadu_si512(p);
        const auto is = [&](char c) { return std::uint64_t(_mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8(c))); };
        const std::uint64_t newlines = is('\n');
        const unsigned lf = newlines == 0 ? 64 : unsigned(__builtin_ctzll(newlines));
        const std::uint64_t inLine = lf == 64 ? 0 : (std::uint64_t(1) << lf) - 8; // after "",
        // The commas after the first.
        std::uint64_t between = is(',') & inLine;
        // Any byte up to ' ' before the line's last: blanks, or bytes for readLine.
        const std::uint64_t blanks = _mm512_cmple_epu8_mask(text, _mm512_set1_epi8(' ')) & (inLine >> 1);
        const auto notNarrow = [&] {
            byLine[read * 3 / 64] |= std::uint64_t(7) << (read * 3 % 64);
            static_assert(64 % 3 == 1, "a line's three bits may straddle two words");
            if (read * 3 % 64 > 61)
                byLine[1] |= std::uint64_t(7) >> (64 - read * 3 % 64);
        };
        // Lines the lanes cannot read, readLine reads. False where it leaves the line.
        const auto readApart = [&] {
            const std::size_t length = p < end ? readLineApart(p, end, batch, read) : 0;
            if (length == 0)
                return false;
            notNarrow();
            batch.apart += 3;
            batch.lengths[read] = length;
            p += length;
            return true;
        };
        if (__builtin_popcountll(between) < 2 || p + lf + 1 > end) [[unlikely]] {
            if (!readApart())
                break;
            continue;
        }
        const unsigned second = unsigned(__builtin_ctzll(between));
        between &= between - 1;
        const unsigned third = unsigned(__builtin_ctzll(between));
        const std::uint64_t minus = is('-');
        // The loops over these are unrolled, to keep them in registers: kept
        // on the stack, they cost 2 ns a line.
        unsigned fieldStarts[3] = {3, second + 1, third + 1};
        unsigned fieldEnds[3] = {second, third, lf - (p[lf - 1] == '\r')};
        if (blanks != 0) [[unlikely]] {
            // The lanes read each field less the blanks around it; readDecimal
            // reads the whole field where they leave it.
            const std::uint64_t numberBlanks = is(' ') | is('\t');
            // As readDecimal, no field of more than kFastFieldMax bytes.
            if ((blanks & ~numberBlanks) != 0 || fieldEnds[0] - fieldStarts[0] > kFastFieldMax
                || fieldEnds[1] - fieldStarts[1] > kFastFieldMax || fieldEnds[2] - fieldStarts[2] > kFastFieldMax) {
                if (!readApart())
                    break;
                continue;
            }
#pragma GCC unroll 3
            for (unsigned field = 0; field < 3; ++field) {
                const std::uint64_t kept = ~numberBlanks & ((std::uint64_t(1) << fieldEnds[field]) - 1)
                    & ~((std::uint64_t(1) << fieldStarts[field]) - 1);
                if (kept != 0) {
                    fieldStarts[field] = unsigned(__builtin_ctzll(kept));
                    fieldEnds[field] = 64 - unsigned(__builtin_clzll(kept));
                }
            }
        }
        std::uint64_t firsts = 0;
        std::uint64_t lengths = 0;
        unsigned signs[3], lengthOf[3];
#pragma GCC unroll 3
        for (unsigned field = 0; field < 3; ++field) {
            signs[field] = (minus >> fieldStarts[field]) & 1;
            const unsigned first = fieldStarts[field] + signs[field];
            lengthOf[field] = fieldEnds[field] - first;
            firsts |= std::uint64_t(first) << (8 * field);
            lengths |= std::uint64_t(lengthOf[field]) << (8 * field);
        }
        // A field longer than a slot: the line's fields go to the wide lanes,
        // or where one is longer than theirs, to readLine.
        static_assert(kSlotBytes + 0x6F == 0x7F, "a length byte over a slot's carries into its high bit");
        if (((lengths + 0x6F6F6F) & 0x808080) != 0) [[unlikely]] {
            static_assert(kWideSlotBytes + 0x5F == 0x7F, "a length byte over a wide slot's carries into its high bit");
            if (((lengths + 0x5F5F5F) & 0x808080) != 0) {
                if (!readApart())
                    break;
                continue;
            }
            static_assert(kDecimalBytes + 0x67 == 0x7F, "a length byte over a decimal's carries into its high bit");
            const bool decimals = ((lengths + 0x676767) & 0x808080) == 0
                && (_mm512_cmpeq_epi8_mask(_mm512_or_si512(text, _mm512_set1_epi8(0x20)), _mm512_set1_epi8('e'))
                    & inLine)
                    == 0;
            WideFields &wide = decimals ? wideDecimals : wideFields;
            const std::uint64_t dots = is('.');
            // In a local: a byte stored to the fields could be the count.
            const std::size_t count = wide.count;
#pragma GCC unroll 3
            for (unsigned field = 0; field < 3; ++field) {
                const std::size_t at = 3 * read + field;
                const std::size_t k = count + field;
                // From the packed bytes: an array of firsts beside lengthOf
                // costs every narrow line 0.6 ns.
                const unsigned first = unsigned(firsts >> (8 * field)) & 0xFF;
                const unsigned length = lengthOf[field];
                __m256i *const slot = reinterpret_cast<__m256i *>(wide.slots + kWideSlotBytes * k);
                if (decimals) {
                    // Loaded to end at the slot's end: the bytes before the field,
                    // which may lie before the buffer, are masked out, and a
                    // masked-out byte is never read.
                    const auto from = reinterpret_cast<std::uintptr_t>(p + first + length) - kWideSlotBytes;
                    _mm256_store_si256(slot,
                                       _mm256_mask_loadu_epi8(_mm256_set1_epi8('0'),
                                                              __mmask32(0xFFFFFFFF00000000ULL >> length),
                                                              reinterpret_cast<const void *>(from)));
                    wide.points[k] = decimalPoint(_bzhi_u64(dots >> first, length), length);
                } else {
                    _mm256_store_si256(slot,
                                       _mm256_mask_loadu_epi8(_mm256_set1_epi8(','),
                                                              __mmask32((std::uint64_t(1) << length) - 1), p + first));
                }
                wide.spans[k] = std::uint8_t(length);
                wide.negative[k] = std::uint8_t(signs[field]);
                wide.at[k] = std::uint8_t(at);
            }
            wide.count = count + 3;
            notNarrow();
        } else {
#pragma GCC unroll 3
            for (unsigned field = 0; field < 3; ++field) {
                negative[3 * read + field] = signs[field];
                spans[3 * read + field] = lengthOf[field];
            }
            const __m512i index = _mm512_add_epi8(_mm512_shuffle_epi8(_mm512_set1_epi64(firsts), slotOfByte), offsets);
            const __mmask64 inField =
                _mm512_cmplt_epu8_mask(offsets, _mm512_shuffle_epi8(_mm512_set1_epi64(lengths), slotOfByte));
            _mm512_storeu_si512(fields + 3 * kSlotBytes * read,
                                _mm512_mask_permutexvar_epi8(commas, inField, index, text));
        }
        lineStarts[read] = p;
        batch.lengths[read] = lf + 1;
        p += lf + 1;
    }

    const __m512i even = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
    const __m512i asciiZeros = _mm512_set1_epi64(0x30 * kEachByte);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i eight = _mm512_set1_epi64(8);
    const __m512i byteMask = _mm512_set1_epi64(0xFF);
    const __m512i digitPowers = _mm512_loadu_si512(kDigitPowers);
    const __m512d powersLow = _mm512_loadu_pd(kPowersOfTen);
    const __m512d powersHigh = _mm512_loadu_pd(kPowersOfTen + 8);
    const std::size_t count = 3 * read;
    for (std::size_t i = 0; i < count; i += 8) {
        const __mmask8 live = liveLanes(count, i);
        const __mmask8 fromLines = __mmask8(byLine[i / 64] >> (i % 64));
        if ((live & ~fromLines) == 0)
            continue;
        // Two 64-bit lanes a field: four fields a load.
        const __m512i a = _mm512_load_si512(fields + kSlotBytes * i);
        const __m512i b = _mm512_load_si512(fields + kSlotBytes * i + 64);
        const __m512i low = _mm512_permutex2var_epi64(a, even, b);
        const __m512i high = _mm512_permutex2var_epi64(a, _mm512_add_epi64(even, _mm512_set1_epi64(1)), b);
        const __m512i lowValues = _mm512_xor_si512(low, asciiZeros);
        const __m512i highValues = _mm512_xor_si512(high, asciiZeros);
        const __m512i span = _mm512_maskz_loadu_epi64(live, spans + i);
        // The whole digits, then a point or not.
        const __m512i whole = firstByte(notDigits(lowValues));
        const __mmask8 point = _mm512_cmpeq_epi64_mask(
            _mm512_and_si512(_mm512_srlv_epi64(low, _mm512_slli_epi64(whole, 3)), byteMask), _mm512_set1_epi64('.'));
        // The digits less the point: the bytes after it a byte lower.
        const __m512i wholeBytes = _mm512_maskz_mov_epi64(
            point,
            _mm512_sub_epi64(_mm512_sllv_epi64(_mm512_set1_epi64(1), _mm512_slli_epi64(whole, 3)),
                             _mm512_set1_epi64(1)));
        const __m512i joinedLow =
            _mm512_mask_or_epi64(lowValues, point,
                                 _mm512_or_si512(_mm512_and_si512(lowValues, wholeBytes),
                                                 _mm512_andnot_si512(wholeBytes, _mm512_srli_epi64(lowValues, 8))),
                                 _mm512_slli_epi64(highValues, 56));
        __m512i digits = _mm512_min_epu64(firstByte(notDigits(joinedLow)), eight);
        __m512i w = valuesOfDigits(joinedLow, digits);
        // Each of the steps below costs only a form that needs it: more than
        // eight digits, and an exponent.
        const __mmask8 moreDigits = live & _mm512_cmpeq_epi64_mask(digits, eight);
        if (moreDigits != 0) {
            // A byte that is not a digit closes the high word.
            const __m512i joinedHigh = _mm512_mask_or_epi64(highValues, point, _mm512_srli_epi64(highValues, 8),
                                                            _mm512_set1_epi64(std::int64_t(0x80) << 56));
            const __m512i highDigits = _mm512_maskz_min_epu64(moreDigits, firstByte(notDigits(joinedHigh)), eight);
            w = _mm512_add_epi64(_mm512_mullo_epi64(w, _mm512_permutexvar_epi64(highDigits, digitPowers)),
                                 valuesOfDigits(joinedHigh, highDigits));
            digits = _mm512_add_epi64(digits, highDigits);
        }
        __m512i taken = _mm512_mask_add_epi64(digits, point, digits, _mm512_set1_epi64(1));
        __m512i q = _mm512_maskz_sub_epi64(point, whole, digits);
        __mmask8 exponentDigitsOk = 0xFF;
        if ((live & _mm512_cmpneq_epi64_mask(taken, span)) != 0) {
            // From the word after the mantissa: at a glance where it can,
            // by readExponent where not.
            exponentAtAGlance(bytesFrom(low, high, taken), span, q, taken);
            if ((live & _mm512_cmpneq_epi64_mask(taken, span)) != 0)
                exponentDigitsOk = readExponent(bytesFrom(low, high, taken), q, taken, kSlotExponentDigits);
        }
        const __m512i magnitudeOfQ = _mm512_abs_epi64(q);
        const __mmask8 exact = _mm512_cmpeq_epi64_mask(taken, span) & exponentDigitsOk
            & _mm512_cmple_epu64_mask(whole, _mm512_set1_epi64(kSlotWhole)) & _mm512_cmpneq_epi64_mask(digits, zero)
            & _mm512_cmple_epu64_mask(w, _mm512_set1_epi64(std::int64_t(kMaxExactDigits)))
            & _mm512_cmple_epu64_mask(magnitudeOfQ, _mm512_set1_epi64(kSlotMaxPower));
        // Clinger's fast path; the sign a bit.
        const __m512d power = _mm512_permutex2var_pd(powersLow, magnitudeOfQ, powersHigh);
        const __m512d magnitude = clingerMagnitude(_mm512_cvtepu64_pd(w), power, _mm512_cmplt_epi64_mask(q, zero));
        const __m512i sign = _mm512_slli_epi64(_mm512_maskz_loadu_epi64(live, negative + i), 63);
        _mm512_mask_storeu_pd(batch.values + i, exact & live & ~fromLines,
                              _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(magnitude), sign)));
        left[i / 64] |= std::uint64_t(live & ~exact & ~fromLines) << (i % 64);
    }
    if (wideDecimals.count != 0)
        readWideDecimals(wideDecimals, batch.values, left);
    if (wideFields.count != 0)
        readWide(wideFields, batch.values, left);
    // What the lanes leave, in order: where readDecimal leaves a number too,
    // its line is the first left.
    for (std::size_t word = 0; word < 2; ++word)
        for (std::uint64_t rest = left[word]; rest != 0; rest &= rest - 1) {
            const std::size_t at = 64 * word + static_cast<std::size_t>(__builtin_ctzll(rest));
            const Field field = fieldOf(lineStarts[at / 3], at % 3);
            const char *text = field.start;
            ++batch.apart;
            if (!readAnyDecimal(text, batch.values[at]) || text != field.end)
                return at / 3;
        }
    return read;
}

// writeEach, with the digits of eight numbers found at a step, as
// writeScaled finds them: eightDigits goes by the same multiplications in
// 16-bit lanes, where each part is below 2^16: x / 10000 as
// (x * 0xD1B71759) >> 45 for x below 2^32, x / 100 as the high half of
// x * 5243 shifted right by 3 for x below 10^4, x / 10 as the high half of
// x * 6554 for x below 10^2. The leading zeros are counted from the lowest
// set bit, which lzcnt finds alone. Each number is then stored whole, sign
// and digits in one word and the point and decimals in another, with their
// lengths.
template <int Decimals>
char *writeAvx512(const Batch &batch, std::size_t lines, char *o)
{
    constexpr int kWholeDigits = 8 - Decimals;
    constexpr std::uint64_t kLarge = 64; // a length that marks a value of 10^8 and more
    static_assert(sizeof batch.scaled / sizeof batch.scaled[0] >= kBatchNumbers + 8, "a last step has room");
    alignas(64) std::uint64_t whole[kBatchNumbers + 8];
    alignas(64) std::uint64_t wholeLength[kBatchNumbers + 8];
    alignas(64) std::uint64_t point[kBatchNumbers + 8];
    alignas(64) std::uint64_t pointLength[kBatchNumbers + 8];
    const __m512i zero = _mm512_setzero_si512();
    const __m512i asciiZeros = _mm512_set1_epi64(0x30 * kEachByte);
    const std::size_t count = 3 * lines;
    for (std::size_t i = 0; i < count; i += 8) {
        const __mmask8 live = liveLanes(count, i);
        const __m512i scaled = _mm512_maskz_loadu_epi64(live, batch.scaled + i);
        const __mmask8 negative = _mm512_cmplt_epi64_mask(scaled, zero);
        const __m512i magnitude = _mm512_abs_epi64(scaled);
        const __mmask8 large = _mm512_cmpge_epu64_mask(magnitude, _mm512_set1_epi64(100000000));
        const __m512i high = _mm512_srli_epi64(_mm512_mul_epu32(magnitude, _mm512_set1_epi64(0xD1B71759)), 45);
        const __m512i low = _mm512_sub_epi64(magnitude, _mm512_mul_epu32(high, _mm512_set1_epi64(10000)));
        const __m512i fours = _mm512_or_si512(high, _mm512_slli_epi64(low, 32));
        const __m512i hundreds = _mm512_srli_epi16(_mm512_mulhi_epu16(fours, _mm512_set1_epi32(5243)), 3);
        const __m512i pairs = _mm512_or_si512(
            hundreds,
            _mm512_slli_epi32(_mm512_sub_epi16(fours, _mm512_mullo_epi16(hundreds, _mm512_set1_epi32(100))), 16));
        const __m512i tens = _mm512_mulhi_epu16(pairs, _mm512_set1_epi16(6554));
        const __m512i digits = _mm512_or_si512(
            tens, _mm512_slli_epi16(_mm512_sub_epi16(pairs, _mm512_mullo_epi16(tens, _mm512_set1_epi16(10))), 8));

        const __m512i marked = _mm512_or_si512(digits, _mm512_set1_epi64(std::int64_t(1) << (8 * (kWholeDigits - 1))));
        const __m512i zeros = firstByte(marked);
        const __m512i text = _mm512_srlv_epi64(_mm512_add_epi64(digits, asciiZeros), _mm512_slli_epi64(zeros, 3));
        const __m512i sign = _mm512_set1_epi64('-');
        _mm512_store_si512(whole + i, _mm512_mask_or_epi64(text, negative, _mm512_slli_epi64(text, 8), sign));
        __m512i length = _mm512_sub_epi64(_mm512_set1_epi64(kWholeDigits), zeros);
        length = _mm512_mask_add_epi64(length, negative, length, _mm512_set1_epi64(1));
        _mm512_store_si512(wholeLength + i, _mm512_mask_mov_epi64(length, large, _mm512_set1_epi64(kLarge)));

        const __m512i fraction = _mm512_srli_epi64(digits, 8 * kWholeDigits); // the decimals, first lowest
        _mm512_store_si512(
            point + i,
            _mm512_or_si512(_mm512_set1_epi64('.'), _mm512_slli_epi64(_mm512_add_epi64(fraction, asciiZeros), 8)));
        // The point with the decimals up to the last that is not zero.
        __m512i kept = _mm512_maskz_mov_epi64(_mm512_test_epi64_mask(fraction, fraction), _mm512_set1_epi64(2));
        if constexpr (Decimals == 2)
            kept = _mm512_mask_mov_epi64(kept, _mm512_cmpge_epu64_mask(fraction, _mm512_set1_epi64(0x100)),
                                         _mm512_set1_epi64(3));
        _mm512_store_si512(pointLength + i, kept);
    }
    // A number: its whole digits and sign, then the point and decimals.
    const auto number = [&](std::size_t at) {
        if (wholeLength[at] == kLarge) [[unlikely]] {
            o = writeLarge<Decimals>(o, batch.scaled[at]);
        } else {
            __builtin_memcpy(o, &whole[at], 8);
            o += wholeLength[at];
            __builtin_memcpy(o, &point[at], 4);
            o += pointLength[at];
        }
    };
    for (std::size_t at = 0; at < count; at += 3) {
        __builtin_memcpy(o, "\"\",", 3);
        o += 3;
        number(at);
        *o++ = ',';
        number(at + 1);
        *o++ = ',';
        number(at + 2);
        __builtin_memcpy(o, "\r\n", 2);
        o += 2;
    }
    return o;
}

struct Avx512Steps {
    static constexpr auto read = readAvx512;
    static constexpr auto scale = scaleAvx512;
    template <int Decimals>
    static char *write(const Batch &batch, std::size_t count, char *out)
    {
        return writeAvx512<Decimals>(batch, count, out);
    }
};

} // namespace

FastProgress fastLinesAvx512(const char *in, const char *end, const double *factors, int decimals, char *out,
                             std::size_t maxLines)
{
    return transformLinesAt<Avx512Steps>(decimals, in, end, factors, out, maxLines);
}

FastProgress fastReadLinesAvx512(const char *in, const char *end, double *values, std::size_t maxLines)
{
    return readLines<Avx512Steps>(in, end, values, maxLines);
}

} // namespace morvane
