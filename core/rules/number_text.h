#pragma once

#include "core/rules/line_error.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The blanks allowed around a number, and its digits; the fast path reads
// numbers by the same rules.
inline bool isNumberBlank(char c) { return c == ' ' || c == '\t'; }
inline bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// The double nearest a decimal text of the form from_chars reads (no sign,
// no blanks), as parseNumber reads it: false where the text is not all of
// that form or its value is out of the double's range. Not inline, so the
// fast path's variants may call it.
bool nearestDouble(const char *first, const char *last, double &value);

// Reads a decimal number by its value, "." as the separator whatever the
// locale: an optional sign, digits with an optional fraction, an optional
// exponent (1.5E2), blanks around it. Any number of digits: too large is an
// overflow, too small to hold reads as zero.
std::expected<double, LineError> parseNumber(std::string_view text);

// A value rounded to a number of decimals, held exactly: a whole number of
// units of 10^-decimals.
struct RoundedNumber {
    std::int64_t units;
    int decimals;
};

// Values from here on are written with 15 significant digits and no
// fraction, so rounding them to 1 or 2 decimals first changes nothing.
inline constexpr double kRoundingLimit = 1e15;

// Rounds to `decimals` places (0 to 2), an exact half going to the even
// neighbour. The halfway test is made on the value scaled by 10^decimals;
// from 2^52 on, where the scaled double holds no fraction, on the exact
// scaled value. Nothing for values of kRoundingLimit and above, or not finite.
std::optional<RoundedNumber> roundHalfEven(double value, int decimals);

// The text of a rounded number: at most 15 significant digits, plain: no
// trailing zeros, no plus sign, 0 for either zero. A number whose units
// need more digits is taken as the double nearest to it, and that double's
// 15 significant digits are written, correctly rounded from its binary
// value: 12345678901234.35 is the double 12345678901234.3496..., written
// 12345678901234.3.
void appendNumber(std::string &out, RoundedNumber number);
// The 15 significant digits of a value of 1 or more in magnitude, correctly
// rounded from its binary value: plain below 10^15, from there on as 1E+15
// or 1.23456789012346E+20, which parseNumber reads back.
void appendNumber(std::string &out, double value);

// Exact powers of ten as doubles, 10^0 to 10^22.
inline constexpr double kPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};

// Nearest integer, halves to even, for |x| < 2^52: adding 2^52 leaves no
// fraction bits, so the FPU's round-to-nearest-even does the work. Shared by
// the general rules and the fast path so that both round alike.
inline double roundScaledHalfEven(double x)
{
    constexpr double kShift = 0x1p52;
    return x >= 0 ? (x + kShift) - kShift : -((-x + kShift) - kShift);
}

} // namespace morvane
