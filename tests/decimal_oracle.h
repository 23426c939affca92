#pragma once

// What a coordinate line must become, worked out apart from both number
// paths of the program: numbers are read by the C library's strtod and
// written from the exact digits that its printf gives, then rounded as
// decimal text, digit by digit. Where the program and this agree, neither
// the fast path nor the general rules can be wrong the same way.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oracle {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// [blanks][sign](digits[.digits]|.digits)[(e|E)[sign]digits][blanks]
inline bool wellFormed(std::string_view s)
{
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
    };
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        return i - from;
    };
    skipBlanks();
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t count = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    skipBlanks();
    return i == s.size();
}

// The value, or nothing for text that is not a number or too large.
inline std::optional<double> read(std::string_view text)
{
    if (!wellFormed(text))
        return std::nullopt;
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const std::string copy(text);
    const double value = strtod_l(copy.c_str(), nullptr, c);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

// The first `keep` digits of a decimal integer, rounded by the rest, an exact
// half to even; one digit more where it carries over.
inline std::string roundDigits(std::string digits, std::size_t keep)
{
    if (digits.size() <= keep)
        return digits;
    const std::string rest = digits.substr(keep);
    digits.resize(keep);
    const bool above = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
    const bool half = rest[0] == '5' && !above;
    if (above || (half && (digits.back() - '0') % 2 == 1)) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
            digits.insert(0, 1, '1');
        else
            ++digits[i - 1];
    }
    return digits;
}

// "123.456" (exact, from printf) times 10^decimals, rounded to an integer.
inline std::string scaledInteger(const std::string &exact, int decimals)
{
    const std::size_t point = exact.find('.');
    std::string whole = exact.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : exact.substr(point + 1);
    fraction.resize(std::max<std::size_t>(fraction.size(), std::size_t(decimals)), '0');
    whole += fraction.substr(0, std::size_t(decimals));
    return roundDigits(whole + fraction.substr(std::size_t(decimals)), whole.size());
}

// Text for |value| of 10^15 and more: 15 significant digits, d.dddE+x.
inline std::string withExponent(bool negative, std::string digits, int exponent)
{
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    out += digits[0];
    if (digits.size() > 1)
        out += "." + digits.substr(1);
    return out + "E+" + std::to_string(exponent);
}

// The text a product is written as at `decimals` places.
inline std::string written(double product, int decimals)
{
    const bool negative = product < 0;
    const double magnitude = std::fabs(product);
    char buffer[512];
    if (magnitude >= 1e15) {
        std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
        const std::string text = buffer;
        return withExponent(negative, text.substr(0, 1) + text.substr(2, 14), std::atoi(text.c_str() + 17));
    }
    // The halfway test is made on the scaled double while it still has a
    // fraction, and on the exact value once it has none.
    const double scaled = magnitude * std::pow(10.0, decimals);
    std::string units;
    if (scaled < 0x1p52) {
        std::snprintf(buffer, sizeof buffer, "%.0f", scaled);
        units = buffer;
    } else {
        std::snprintf(buffer, sizeof buffer, "%.80f", magnitude);
        units = scaledInteger(buffer, decimals);
    }
    // Then at most 15 significant digits.
    if (units.size() > 15)
        units = roundDigits(units, 15) + std::string(units.size() - 15, '0');
    units.insert(0, std::size_t(std::max(0, decimals + 1 - int(units.size()))), '0');
    std::string whole = units.substr(0, units.size() - std::size_t(decimals));
    std::string fraction = units.substr(whole.size());
    if (whole.size() > 15)
        return withExponent(negative, whole, int(whole.size()) - 1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    const bool zero = whole == "0" && fraction.empty();
    return (negative && !zero ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

// The line a coordinate line becomes, or nothing where it must fail.
inline std::optional<std::string> transformed(std::string_view line, const std::string (&factors)[3], int decimals)
{
    if (line.substr(0, 3) != "\"\",")
        return std::nullopt;
    std::vector<std::string_view> fields;
    for (std::string_view rest = line.substr(3);;) {
        const std::size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    if (fields.size() != 3)
        return std::nullopt;
    std::string out = "\"\"";
    for (int axis = 0; axis < 3; ++axis) {
        const auto factor = read(factors[axis]);
        const auto value = read(fields[std::size_t(axis)]);
        if (!factor || !value || !std::isfinite(*value * *factor))
            return std::nullopt;
        out += "," + written(*value * *factor, decimals);
    }
    return out;
}

} // namespace oracle
