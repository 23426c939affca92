#include "core/rules/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace morvane {

namespace {

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isNumberBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isNumberBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

LineError notANumber(std::string_view text)
{
    return {ErrorKind::TypeMismatch, quotedForMessage(text) + " is not a number"};
}

// The significant digits of a number, read by value: however long the
// text, the digits are cut to kKeptDigits and a sticky 1 stands for any
// non-zero digit cut off. A halfway point between two doubles has at most
// 767 significant digits, so from_chars, which rounds correctly, rounds the
// cut text as it would the whole.
constexpr std::size_t kKeptDigits = 800;
static_assert(kKeptDigits > 767, "every digit that can decide a double's rounding is kept");
// An exponent is read up to this and held there: far past any double, far
// from overflowing when digit counts are added to it.
constexpr long long kExponentCap = 1'000'000'000'000LL;

struct Significand {
    std::array<char, kKeptDigits + 1> digits; // the kept digits and the sticky one
    std::size_t count = 0;
    long long exponent = 0; // power of ten of the first digit
};

// False for a zero value.
bool readSignificand(std::string_view intDigits, std::string_view fracDigits, long long exponent, Significand &out)
{
    const std::size_t total = intDigits.size() + fracDigits.size();
    const auto digitAt = [&](std::size_t i) {
        return i < intDigits.size() ? intDigits[i] : fracDigits[i - intDigits.size()];
    };
    std::size_t first = 0;
    while (first < total && digitAt(first) == '0')
        ++first;
    if (first == total)
        return false;
    out.exponent = exponent + static_cast<long long>(intDigits.size()) - 1 - static_cast<long long>(first);
    const std::size_t kept = std::min(total - first, kKeptDigits);
    for (std::size_t i = 0; i < kept; ++i)
        out.digits[i] = digitAt(first + i);
    out.count = kept;
    for (std::size_t i = first + kept; i < total; ++i)
        if (digitAt(i) != '0') {
            out.digits[out.count++] = '1';
            break;
        }
    return true;
}

} // namespace

std::expected<double, LineError> parseNumber(std::string_view text)
{
    const std::string_view t = trimBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    const std::size_t intStart = i;
    while (i < t.size() && isDecimalDigit(t[i]))
        ++i;
    const std::string_view intDigits = t.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < t.size() && t[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < t.size() && isDecimalDigit(t[i]))
            ++i;
        fracDigits = t.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty())
        return std::unexpected(notANumber(text));

    long long exponent = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            negativeExponent = t[i] == '-';
            ++i;
        }
        if (i == t.size() || !isDecimalDigit(t[i]))
            return std::unexpected(notANumber(text));
        while (i < t.size() && isDecimalDigit(t[i])) {
            exponent = std::min(exponent * 10 + (t[i] - '0'), kExponentCap);
            ++i;
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != t.size())
        return std::unexpected(notANumber(text));

    const double zero = negative ? -0.0 : 0.0;
    Significand significand;
    if (!readSignificand(intDigits, fracDigits, exponent, significand))
        return zero;
    const auto overflow = [&] {
        return std::unexpected(LineError{ErrorKind::Overflow, quotedForMessage(text) + " is too large for a number"});
    };
    // 10^309 and more overflow; below 10^-325 is less than half the
    // smallest double.
    if (significand.exponent > 308)
        return overflow();
    if (significand.exponent < -325)
        return zero;

    // d.ddd...e±x, short enough for the stack.
    char buffer[kKeptDigits + 16];
    char *o = buffer;
    *o++ = significand.digits[0];
    *o++ = '.';
    o = std::copy_n(significand.digits.begin() + 1, significand.count - 1, o);
    *o++ = 'e';
    o = std::to_chars(o, buffer + sizeof buffer, significand.exponent).ptr;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(buffer, o, value);
    if (ec == std::errc::result_out_of_range) {
        if (significand.exponent > 0)
            return overflow();
        return zero;
    }
    if (ec != std::errc() || ptr != o)
        return std::unexpected(notANumber(text));
    return negative ? -value : value;
}

bool nearestDouble(const char *first, const char *last, double &value)
{
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

std::optional<RoundedNumber> roundHalfEven(double value, int decimals)
{
    if (!(std::fabs(value) < kRoundingLimit))
        return std::nullopt;
    const auto power = static_cast<std::int64_t>(kPowersOfTen[decimals]);
    const double scaled = value * kPowersOfTen[decimals];
    if (std::fabs(scaled) < 0x1p52)
        return RoundedNumber{static_cast<std::int64_t>(roundScaledHalfEven(scaled)), decimals};
    // The exact scaled value: value = m * 2^-shift with m below 2^53, and
    // m * 10^decimals stays below 2^60. Shifted right, halves to even.
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exponent; // from 4 up, as value < 10^15 < 2^50
    const std::uint64_t product = mantissa * static_cast<std::uint64_t>(power);
    std::uint64_t units = product >> shift;
    const std::uint64_t rest = product & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (units & 1) != 0))
        ++units;
    const auto signedUnits = static_cast<std::int64_t>(units);
    return RoundedNumber{value < 0 ? -signedUnits : signedUnits, decimals};
}

void appendNumber(std::string &out, double value)
{
    // d.dddddddddddddde+x: the value's 15 significant digits, which to_chars
    // rounds correctly from its binary value.
    char buf[40];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string_view sci(buf, static_cast<std::size_t>(result.ptr - buf));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const std::size_t ePos = sci.find('e');
    // Past the 'e' and its sign, which is '+': the value is 1 or more.
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 2, sci.data() + sci.size(), exponent);
    // The 15 digits without the point, trailing zeros dropped.
    std::array<char, 15> digits{};
    digits[0] = sci[0];
    std::copy(sci.begin() + 2, sci.begin() + static_cast<std::ptrdiff_t>(ePos), digits.begin() + 1);
    std::size_t count = ePos - 1;
    while (count > 1 && digits[count - 1] == '0')
        --count;
    const std::string_view kept(digits.data(), count);
    if (exponent >= 15) {
        // From 10^15 on the exponent has no leading zero: e+15 is E+15.
        out += kept[0];
        if (count > 1) {
            out += '.';
            out += kept.substr(1);
        }
        out += "E+";
        out += sci.substr(ePos + 2);
        return;
    }
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (count <= whole) {
        out += kept;
        out.append(whole - count, '0');
        return;
    }
    out += kept.substr(0, whole);
    out += '.';
    out += kept.substr(whole);
}

void appendNumber(std::string &out, RoundedNumber number)
{
    constexpr int kSignificantDigits = 15;
    const std::uint64_t magnitude =
        number.units < 0 ? 0 - static_cast<std::uint64_t>(number.units) : static_cast<std::uint64_t>(number.units);
    if (magnitude >= static_cast<std::uint64_t>(kPowersOfTen[kSignificantDigits])) {
        // More digits than are written: the rounded value is the double
        // nearest to it, read from its units' text by from_chars, which
        // rounds correctly; that double's digits are written.
        std::array<char, 32> text{};
        const auto length =
            static_cast<std::size_t>(std::to_chars(text.data(), text.data() + 24, number.units).ptr - text.data());
        text[length] = 'e';
        text[length + 1] = '-';
        text[length + 2] = static_cast<char>('0' + number.decimals);
        double value = 0;
        std::from_chars(text.data(), text.data() + length + 3, value);
        appendNumber(out, value);
        return;
    }
    // At most 15 digits: the units are the text, a point put in.
    const auto unit = static_cast<std::uint64_t>(kPowersOfTen[number.decimals]);
    const std::uint64_t whole = magnitude / unit;
    if (number.units < 0)
        out += '-';
    char buffer[24];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, whole).ptr);
    std::uint64_t fraction = magnitude % unit;
    if (fraction == 0)
        return;
    int places = number.decimals;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    out += '.';
    out.append(static_cast<std::size_t>(places), '0');
    for (std::size_t i = out.size(); fraction != 0; fraction /= 10)
        out[--i] = static_cast<char>('0' + fraction % 10);
}

} // namespace morvane
