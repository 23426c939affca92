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
// field are left out of its slot. readDecimal reads any field they leave,
// and readLine any line with other bytes below ' ' or longer than a load.
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

// The first `count` (0 to 8) digit values of each lane as one number, as
// valueOfDigits: moved to the top, then pairs, fours and eight joined by
// multiply-adds. A count of 0 gives 0.
inline __m512i valuesOfDigits(__m512i values, __m512i count)
{
    const __m512i v = _mm512_sllv_epi64(values, _mm512_slli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(8), count), 3));
    const __m512i pairs = _mm512_maddubs_epi16(v, _mm512_set1_epi16(10 + (1 << 8)));
    const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(100 + (1 << 16)));
    return _mm512_add_epi64(_mm512_mul_epu32(fours, _mm512_set1_epi64(10000)), _mm512_srli_epi64(fours, 32));
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

std::size_t readAvx512(const char *p, const char *end, Batch &batch, std::size_t wanted)
{
    // 16 bytes a field; a line's store writes a fourth slot, and a last step
    // reads eight.
    alignas(64) char fields[kSlotBytes * (kBatchNumbers + 8)];
    alignas(64) std::int64_t spans[kBatchNumbers + 8];
    alignas(64) std::uint64_t negative[kBatchNumbers + 8];
    const char *lineStarts[kBatchLines]; // for readDecimal to find a field the lanes leave
    // A bit for each number of a line readLine read.
    std::uint64_t byLine[2] = {};
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
        // Lines the lanes cannot read, readLine reads. False where it leaves the line.
        const auto readApart = [&] {
            const std::size_t length = p < end ? readLineApart(p, end, batch, read) : 0;
            if (length == 0)
                return false;
            byLine[read * 3 / 64] |= std::uint64_t(7) << (read * 3 % 64);
            static_assert(64 % 3 == 1, "a line's three bits may straddle two words");
            if (read * 3 % 64 > 61)
                byLine[1] |= std::uint64_t(7) >> (64 - read * 3 % 64);
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
        for (unsigned field = 0; field < 3; ++field) {
            const std::size_t at = 3 * read + field;
            const unsigned sign = (minus >> fieldStarts[field]) & 1;
            const unsigned first = fieldStarts[field] + sign;
            negative[at] = sign;
            spans[at] = fieldEnds[field] - first;
            firsts |= std::uint64_t(first) << (8 * field);
            lengths |= std::uint64_t(fieldEnds[field] - first) << (8 * field);
        }
        // A field longer than a slot: a number of more digits than the lanes take.
        static_assert(kSlotBytes + 0x6F == 0x7F, "a length byte over a slot's carries into its high bit");
        if (((lengths + 0x6F6F6F) & 0x808080) != 0) [[unlikely]] {
            if (!readApart())
                break;
            continue;
        }
        const __m512i index = _mm512_add_epi8(_mm512_shuffle_epi8(_mm512_set1_epi64(firsts), slotOfByte), offsets);
        const __mmask64 inField =
            _mm512_cmplt_epu8_mask(offsets, _mm512_shuffle_epi8(_mm512_set1_epi64(lengths), slotOfByte));
        _mm512_storeu_si512(fields + 3 * kSlotBytes * read, _mm512_mask_permutexvar_epi8(commas, inField, index, text));
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
            // (e|E)[+|-]digits, from the word after the mantissa.
            const __m512i after = bytesFrom(low, high, taken);
            const __mmask8 exponent = _mm512_cmpeq_epi64_mask(
                _mm512_and_si512(_mm512_or_si512(after, _mm512_set1_epi64(0x20)), byteMask), _mm512_set1_epi64('e'));
            const __m512i signByte = _mm512_and_si512(_mm512_srli_epi64(after, 8), byteMask);
            const __mmask8 negativeExponent = _mm512_cmpeq_epi64_mask(signByte, _mm512_set1_epi64('-'));
            const __mmask8 signed_ = negativeExponent | _mm512_cmpeq_epi64_mask(signByte, _mm512_set1_epi64('+'));
            const __m512i exponentValues =
                _mm512_xor_si512(_mm512_mask_srli_epi64(_mm512_srli_epi64(after, 8), signed_, after, 16), asciiZeros);
            const __m512i exponentDigits =
                _mm512_maskz_min_epu64(exponent, firstByte(notDigits(exponentValues)), eight);
            const __m512i exponentValue = valuesOfDigits(exponentValues, exponentDigits);
            q = _mm512_add_epi64(q, _mm512_mask_sub_epi64(exponentValue, negativeExponent, zero, exponentValue));
            taken = _mm512_add_epi64(
                taken,
                _mm512_maskz_add_epi64(exponent, exponentDigits,
                                       _mm512_mask_blend_epi64(signed_, _mm512_set1_epi64(1), _mm512_set1_epi64(2))));
            exponentDigitsOk = (~exponent | _mm512_cmpneq_epi64_mask(exponentDigits, zero))
                & _mm512_cmple_epu64_mask(exponentDigits, _mm512_set1_epi64(kSlotExponentDigits));
        }
        const __m512i magnitudeOfQ = _mm512_abs_epi64(q);
        const __mmask8 exact = _mm512_cmpeq_epi64_mask(taken, span) & exponentDigitsOk
            & _mm512_cmple_epu64_mask(whole, _mm512_set1_epi64(kSlotWhole)) & _mm512_cmpneq_epi64_mask(digits, zero)
            & _mm512_cmple_epu64_mask(w, _mm512_set1_epi64(std::int64_t(kMaxExactDigits)))
            & _mm512_cmple_epu64_mask(magnitudeOfQ, _mm512_set1_epi64(kSlotMaxPower));
        // Clinger's fast path, as readDecimal takes it: one multiplication or
        // division of exact doubles; the sign a bit.
        const __m512d power = _mm512_permutex2var_pd(powersLow, magnitudeOfQ, powersHigh);
        const __m512d digitsValue = _mm512_cvtepu64_pd(w);
        const __m512d magnitude =
            _mm512_mask_div_pd(_mm512_mul_pd(digitsValue, power), _mm512_cmplt_epi64_mask(q, zero), digitsValue, power);
        const __m512i sign = _mm512_slli_epi64(_mm512_maskz_loadu_epi64(live, negative + i), 63);
        _mm512_mask_storeu_pd(batch.values + i, exact & live & ~fromLines,
                              _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(magnitude), sign)));
        for (unsigned rest = live & ~exact & ~fromLines; rest != 0; rest &= rest - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(rest));
            const Field field = fieldOf(lineStarts[at / 3], at % 3);
            const char *text = field.start;
            if (!readAnyDecimal(text, batch.values[at]) || text != field.end)
                return at / 3;
        }
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
