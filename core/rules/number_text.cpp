#include "core/rules/number_text.h"

#include <algorithm>
#include <charconv>
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

// Power of ten of the first non-zero digit, to tell an overflow from an
// underflow when from_chars finds the value out of range.
long decimalMagnitude(std::string_view intDigits, std::string_view fracDigits, long exponent)
{
    for (std::size_t i = 0; i < intDigits.size(); ++i)
        if (intDigits[i] != '0')
            return static_cast<long>(intDigits.size() - 1 - i) + exponent;
    for (std::size_t i = 0; i < fracDigits.size(); ++i)
        if (fracDigits[i] != '0')
            return -static_cast<long>(i + 1) + exponent;
    return 0;
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
    const std::size_t mantissaStart = i;
    while (i < t.size() && isDecimalDigit(t[i]))
        ++i;
    const std::string_view intDigits = t.substr(mantissaStart, i - mantissaStart);
    std::string_view fracDigits;
    if (i < t.size() && t[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < t.size() && isDecimalDigit(t[i]))
            ++i;
        fracDigits = t.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty())
        return std::unexpected(notANumber(text));

    long exponent = 0;
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
            exponent = std::min(exponent * 10 + (t[i] - '0'), 1'000'000L);
            ++i;
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != t.size())
        return std::unexpected(notANumber(text));

    double value = 0;
    const char *end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data() + mantissaStart, end, value);
    if (ec == std::errc::result_out_of_range) {
        if (decimalMagnitude(intDigits, fracDigits, exponent) > 0)
            return std::unexpected(
                LineError{ErrorKind::Overflow, quotedForMessage(text) + " is too large for a number"});
        value = 0;
    } else if (ec != std::errc() || ptr != end) {
        return std::unexpected(notANumber(text));
    }
    return negative ? -value : value;
}

double roundHalfEven(double value, int decimals)
{
    const double scale = kPowersOfTen[std::clamp(decimals, 0, 22)];
    const double scaled = value * scale;
    if (!(std::fabs(scaled) < 0x1p52))
        return value;
    return roundScaledHalfEven(scaled) / scale;
}

void appendNumber(std::string &out, double value)
{
    if (value == 0) {
        out += '0';
        return;
    }
    if (!std::isfinite(value)) {
        out += std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
        return;
    }
    // d.dddddddddddddde±x: the value rounded to 15 significant digits.
    char buf[40];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string_view sci(buf, static_cast<std::size_t>(result.ptr - buf));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const std::size_t ePos = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+'), sci.data() + sci.size(), exponent);
    std::string digits;
    digits += sci[0];
    digits += sci.substr(2, ePos - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    if (exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += "E+";
        out += std::to_string(exponent);
    } else if (exponent >= 0) {
        const auto intLength = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intLength) {
            out += digits;
            out.append(intLength - digits.size(), '0');
        } else {
            out.append(digits, 0, intLength);
            out += '.';
            out.append(digits, intLength);
        }
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
}

std::string formatNumber(double value)
{
    std::string out;
    appendNumber(out, value);
    return out;
}

} // namespace morvane
