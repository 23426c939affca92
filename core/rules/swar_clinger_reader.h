#pragma once

// The fast path's number reader, compiled into each processor variant (see
// fast_lines_template.h: internal linkage, no inline library function).
//
// Technique: the digits are found and joined eight at a time in a 64-bit
// register (SWAR, as fast_float reads them: Lemire, "Number parsing at a
// gigabyte per second", 2021), into an integer w of at most 19 digits and a
// power of ten q. While w fits a double's 53 bits and |q| <= 22, w and 10^q
// are exact doubles and one multiplication or division rounds correctly:
// Clinger's fast path ("How to read floating point numbers accurately",
// 1990). Anything else goes to std::from_chars, which libstdc++ implements by
// the Eisel-Lemire algorithm: a correction step of our own for up to 19
// digits past 2^53 was within 10% of it a number at a time (the AVX-512
// lanes take that step eight at a time: twoStepMagnitude).

#include "core/rules/fast_coordinate_line.h"
#include "core/rules/number_text.h" // for kPowersOfTen and nearestDouble only: its inline functions are not for here

#include <cstdint>
#include <limits>

namespace morvane {
namespace {

// The byte tricks below read 8 bytes into a register, the first byte lowest.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte of a load is its lowest");
constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;

// Digits a number may hold from its first that is not zero: 10^19 - 1 still
// fits 64 bits.
constexpr int kMaxDigits = 19;
static_assert(std::numeric_limits<std::uint64_t>::digits10 >= kMaxDigits, "19 digits fit a 64-bit integer");
// Clinger's preconditions: the FPU rounds to nearest (the C++ default, which
// nothing here changes), w is exact as a double, and so is 10^|q|.
constexpr std::uint64_t kMaxExactDigits = std::uint64_t(1) << 53;
static_assert(std::numeric_limits<double>::digits == 53, "an integer up to 2^53 is an exact double");
constexpr int kMaxExactPower = 22;
static_assert(kPowersOfTen[kMaxExactPower] == 1e22, "10^22 is exact: 5^22 fits 53 bits");
static_assert(sizeof kPowersOfTen / sizeof kPowersOfTen[0] == kMaxExactPower + 1,
              "the powers stop where exactness does");
// An exponent of more digits is left to the general rules, which cap it.
constexpr int kMaxExponentDigits = 4;
// No field is read past kFastFieldMax bytes from its start, and no load
// reaches 16 bytes past that: so from a field that starts before the end of
// the data, no load passes the read-ahead.
static_assert(kFastFieldMax + 16 <= kFastReadAhead, "a field's loads stay within the read-ahead");

// The steps of a number are small and run millions of times: inlined, they
// share registers instead of saving them at every call.
#define MORVANE_INLINE inline __attribute__((always_inline))

constexpr std::uint64_t kDigitPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

MORVANE_INLINE std::uint64_t load8(const char *p)
{
    std::uint64_t bytes;
    __builtin_memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// The high bit of each byte of `values` (bytes less '0') that is not a
// digit. A byte is a digit when, less '0', it is below 10: adding 0x76 to
// its low seven bits then stays below 0x80, without carrying into the next
// byte.
MORVANE_INLINE std::uint64_t notDigitBits(std::uint64_t values)
{
    return (((values & (0x7F * kEachByte)) + 0x76 * kEachByte) | values) & (0x80 * kEachByte);
}

// The bytes at p less '0', and how many of them are digits from the first
// (8 for eight or more).
struct DigitRun {
    std::uint64_t values;
    int count;
};

MORVANE_INLINE DigitRun digitRun(const char *p)
{
    const std::uint64_t values = load8(p) ^ (0x30 * kEachByte);
    const std::uint64_t notDigit = notDigitBits(values);
    return {values, notDigit == 0 ? 8 : __builtin_ctzll(notDigit) / 8};
}

// The first `count` (1 to 8, never 0) digit values as one number: moved to the top of
// the register, so that zeros lead, then joined pairwise (fast_float's
// eight-digit reduction: pairs, then fours, then eight).
MORVANE_INLINE std::uint64_t valueOfDigits(std::uint64_t values, int count)
{
    std::uint64_t v = values << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)))
         + (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))))
        >> 32;
    return v & 0xFFFFFFFF;
}

// Joins the run of digits at p onto w, eight at a time, and adds their
// count to `count`; `held` counts w's digits from its first that is not
// zero. False past kMaxDigits, or where the run goes on past `limit`.
MORVANE_INLINE bool joinDigits(const char *&p, const char *limit, std::uint64_t &w, int &held, int &count)
{
    while (p <= limit) {
        const DigitRun run = digitRun(p);
        if (run.count == 0)
            return true;
        if (w != 0) {
            held += run.count;
        } else {
            // Leading zeros hold nothing: count from the first byte that is not 0.
            const std::uint64_t nonZero =
                (((run.values & (0x7F * kEachByte)) + 0x7F * kEachByte) | run.values) & (0x80 * kEachByte);
            const int zeros = nonZero == 0 ? 8 : __builtin_ctzll(nonZero) / 8;
            held = zeros < run.count ? run.count - zeros : 0;
        }
        if (held > kMaxDigits)
            return false;
        w = w * kDigitPowers[run.count] + valueOfDigits(run.values, run.count);
        p += run.count;
        count += run.count;
        if (run.count < 8)
            return true;
    }
    return false;
}

// A number's text read to its parts: ±w × 10^q.
struct DecimalParts {
    std::uint64_t w = 0;
    int q = 0;
};

// The mantissa's digits at p, with the point, in the common forms: at most
// 7 digits before the point and kMaxDigits in all. Where they and the
// point fit one load, the point is taken out by shifting the fraction's
// digits down a byte and the digits join in one reduction; a longer
// fraction joins from up to two more loads. False, p as it was, for any
// other text.
MORVANE_INLINE bool readShortMantissa(const char *&p, DecimalParts &parts)
{
    const std::uint64_t values = load8(p) ^ (0x30 * kEachByte);
    std::uint64_t notDigit = notDigitBits(values);
    if (notDigit == 0)
        return false;
    const int whole = __builtin_ctzll(notDigit) / 8;
    if (p[whole] != '.') {
        if (whole == 0)
            return false;
        parts.w = valueOfDigits(values, whole);
        p += whole;
        return true;
    }
    notDigit &= notDigit - 1;
    if (notDigit != 0) {
        const int fraction = __builtin_ctzll(notDigit) / 8 - whole - 1;
        if (whole + fraction == 0)
            return false;
        const std::uint64_t wholeBytes = (std::uint64_t(1) << (8 * whole)) - 1;
        parts.w = valueOfDigits((values & wholeBytes) | ((values >> 8) & ~wholeBytes), whole + fraction);
        parts.q = -fraction;
        p += whole + 1 + fraction;
        return true;
    }
    // The fraction runs past the load: 8 of its digits at a time.
    std::uint64_t w = whole == 0 ? 0 : valueOfDigits(values, whole);
    const DigitRun first = digitRun(p + whole + 1);
    int fraction = first.count;
    if (fraction != 0)
        w = w * kDigitPowers[fraction] + valueOfDigits(first.values, fraction);
    if (fraction == 8) {
        const DigitRun second = digitRun(p + whole + 9);
        if (second.count == 8 || whole + 8 + second.count > kMaxDigits)
            return false;
        if (second.count != 0)
            w = w * kDigitPowers[second.count] + valueOfDigits(second.values, second.count);
        fraction += second.count;
    }
    if (whole + fraction == 0)
        return false;
    parts.w = w;
    parts.q = -fraction;
    p += whole + 1 + fraction;
    return true;
}

// The mantissa's digits at p, with the point: any count of digits on
// either side, up to kMaxDigits from the first that is not zero.
MORVANE_INLINE bool readMantissa(const char *&p, const char *limit, DecimalParts &parts)
{
    if (readShortMantissa(p, parts))
        return true;
    int held = 0;
    int count = 0;
    if (!joinDigits(p, limit, parts.w, held, count))
        return false;
    if (*p == '.') {
        ++p;
        int fraction = 0;
        if (!joinDigits(p, limit, parts.w, held, fraction))
            return false;
        parts.q = -fraction;
        count += fraction;
    }
    return count != 0;
}

// An exponent, (e|E)[+|-]digits, onto q where one follows.
MORVANE_INLINE bool readExponent(const char *&p, DecimalParts &parts)
{
    if ((*p | 0x20) != 'e')
        return true;
    ++p;
    const bool negative = *p == '-';
    p += negative || *p == '+';
    const DigitRun run = digitRun(p);
    if (run.count == 0 || run.count > kMaxExponentDigits)
        return false;
    const int exponent = static_cast<int>(valueOfDigits(run.values, run.count));
    parts.q += negative ? -exponent : exponent;
    p += run.count;
    return true;
}

// ±w × 10^q's magnitude, rounded to nearest, from its parts where they
// suffice, from the text [first, last) where they do not.
MORVANE_INLINE bool magnitudeOf(const DecimalParts &parts, const char *first, const char *last, double &magnitude)
{
    if (parts.w <= kMaxExactDigits && parts.q >= -kMaxExactPower && parts.q <= kMaxExactPower) [[likely]] {
        magnitude = parts.q < 0 ? static_cast<double>(parts.w) / kPowersOfTen[-parts.q]
                                : static_cast<double>(parts.w) * kPowersOfTen[parts.q];
        return true;
    }
    if (parts.w == 0) {
        magnitude = 0;
        return true;
    }
    return nearestDouble(first, last, magnitude);
}

// Reads [blanks][+|-]digits[.digits][(e|E)[+|-]digits][blanks] at p into
// `value`, exactly as parseNumber reads it, and moves p past it; false, with
// p anywhere, for any other text, or more than the reader holds exactly:
// more than kMaxDigits digits, more than kMaxExponentDigits in the
// exponent, more than kFastFieldMax bytes, a value out of range. No load
// reaches kFastFieldMax + 16 bytes past the start.
[[gnu::noinline]] bool readAnyDecimal(const char *&p, double &value)
{
    const char *const start = p;
    const char *const limit = p + kFastFieldMax;
    while (p < limit && isNumberBlank(*p))
        ++p;
    const bool negative = *p == '-';
    p += negative || *p == '+';
    const char *const first = p;
    DecimalParts parts;
    // A mantissa ends at most 8 bytes past the limit, its exponent's load 10 past that.
    if (!readMantissa(p, limit, parts) || p > limit || !readExponent(p, parts))
        return false;
    const char *const last = p;
    while (p < limit && isNumberBlank(*p))
        ++p;
    if (p - start > static_cast<std::ptrdiff_t>(kFastFieldMax))
        return false;
    double magnitude;
    if (!magnitudeOf(parts, first, last, magnitude))
        return false;
    value = __builtin_bit_cast(double, __builtin_bit_cast(std::uint64_t, magnitude) | std::uint64_t(negative) << 63);
    return true;
}

// readAnyDecimal, with the common forms inline: [-]digits[.digits][exponent]
// as readShortMantissa takes them, whose value Clinger's fast path gives.
// They need no bounds: a sign, 7 digits, the point, 15 digits, e and a
// sign, and a load of 8 stay within readAnyDecimal's.
MORVANE_INLINE bool readDecimal(const char *&p, double &value)
{
    static_assert(1 + 7 + 1 + 15 + 2 + 8 <= kFastFieldMax + 16, "the common forms' loads are within bounds");
    const bool negative = *p == '-';
    const char *const first = p + negative;
    const char *q = first;
    DecimalParts parts;
    if (!readShortMantissa(q, parts) || !readExponent(q, parts) || isNumberBlank(*q)) [[unlikely]]
        return readAnyDecimal(p, value);
    double magnitude;
    if (!magnitudeOf(parts, first, q, magnitude)) [[unlikely]]
        return false;
    // The sign as a bit: signs in parts follow no pattern a branch could learn.
    value = __builtin_bit_cast(double, __builtin_bit_cast(std::uint64_t, magnitude) | std::uint64_t(negative) << 63);
    p = q;
    return true;
}

#undef MORVANE_INLINE

} // namespace
} // namespace morvane
