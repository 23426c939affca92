#pragma once

// What the numbers of a coordinate line must become, worked out apart from
// both number paths of the program: numbers are checked by a regular
// expression, read by the C library's strtod (on Windows, whose strtod fails
// on long digit strings, by Qt's reader) and written from the exact digits
// printf gives, rounded as decimal text, digit by digit; a rounded value of
// more than 15 digits is the double read from them, written by printf.
// Where the program and this agree, the fast path and the general rules
// cannot both be wrong the same way.

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#ifdef _WIN32
#include <QByteArray>
#include <QRegularExpression>
#else
#include <locale.h>
#include <regex.h>
#endif

namespace oracle {

// Whether `text` is a number as parts and factors hold them.
inline bool isNumberText(const std::string &text)
{
    constexpr const char *kPattern = "^[ \t]*[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?[ \t]*$";
    if (text.find('\0') != std::string::npos)
        return false;
#ifdef _WIN32
    static const QRegularExpression number(QString::fromLatin1(kPattern));
    return number.match(QString::fromLatin1(text)).hasMatch();
#else
    static regex_t number;
    static const bool compiled = regcomp(&number, kPattern, REG_EXTENDED | REG_NOSUB) == 0;
    return compiled && regexec(&number, text.c_str(), 0, nullptr, 0) == 0;
#endif
}

// The double nearest to the value of number text; infinite past the
// largest.
inline double nearestDouble(const std::string &text)
{
#ifdef _WIN32
    bool ok = false;
    const double value = QByteArray::fromStdString(text).trimmed().toDouble(&ok);
    if (ok)
        return value;
    // Qt refuses a value out of range: past the largest double where its
    // first digit is in the units or above, else below the smallest.
    const std::size_t start = text.find_first_of("0123456789."), mark = text.find_first_of("eE", start);
    const std::size_t end =
        std::min({text.find('.', start), text.find_first_not_of("0123456789.", start), text.size()});
    const std::size_t first = text.find_first_of("123456789", start);
    const long long exponent = mark == std::string::npos ? 0 : std::strtoll(text.c_str() + mark + 1, nullptr, 10) / 4;
    const long long lead = first < end ? static_cast<long long>(end - first) - 1 : -static_cast<long long>(first - end);
    const double magnitude = lead / 4 + exponent >= 0 ? HUGE_VAL : 0.0;
    return text.find('-') < start ? -magnitude : magnitude;
#else
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text.c_str(), nullptr, c);
#endif
}

// The text of a number, checked and read; nothing for other text or an
// overflow.
inline std::optional<double> read(std::string_view text)
{
    const std::string copy(text);
    if (!isNumberText(copy))
        return std::nullopt;
    const double value = nearestDouble(copy);
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
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
    if (above || (rest[0] == '5' && (digits.back() - '0') % 2 == 1)) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        i == 0 ? void(digits.insert(0, 1, '1')) : void(++digits[i - 1]);
    }
    return digits;
}

// Digits d0 d1... as d0.d1...E+exponent, trailing zeros dropped.
inline std::string withExponent(std::string digits, int exponent)
{
    digits.erase(digits.find_last_not_of('0') + 1);
    return digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") + "E+" + std::to_string(exponent);
}

// The 15 significant digits that printf gives of a value of 1 or more:
// plain below 10^15, else d.ddE+x.
inline std::string fifteenDigits(double magnitude)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    const std::string digits = std::string(buffer, 1) + std::string(buffer + 2, 14);
    const int exponent = std::atoi(buffer + 17);
    if (exponent >= 15)
        return withExponent(digits, exponent);
    std::string fraction = digits.substr(std::size_t(exponent) + 1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return digits.substr(0, std::size_t(exponent) + 1) + (fraction.empty() ? "" : "." + fraction);
}

// The text a product is written as at `decimals` places.
inline std::string written(double product, int decimals)
{
    const std::string sign = product < 0 ? "-" : "";
    const double magnitude = std::fabs(product);
    if (magnitude >= 1e15)
        return sign + fifteenDigits(magnitude);
    // The halfway test is made on the scaled double while it still has a
    // fraction (below 2^52), and on the exact value once it has none.
    char buffer[512];
    std::string units;
    if (magnitude * std::pow(10.0, decimals) < 0x1p52) {
        std::snprintf(buffer, sizeof buffer, "%.0f", magnitude * std::pow(10.0, decimals));
        units = buffer;
    } else {
        std::snprintf(buffer, sizeof buffer, "%.80f", magnitude);
        const std::string exact = buffer;
        const std::size_t point = exact.find('.');
        units = roundDigits(exact.substr(0, point) + exact.substr(point + 1), point + std::size_t(decimals));
    }
    // Past 15 digits the rounded value is the double nearest to it, and
    // its digits are written.
    if (units.size() > 15)
        return sign + fifteenDigits(nearestDouble(units + "e-" + std::to_string(decimals)));
    units.insert(0, std::size_t(std::max(0, decimals + 1 - int(units.size()))), '0');
    const std::string whole = units.substr(0, units.size() - std::size_t(decimals));
    std::string fraction = units.substr(whole.size());
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return (whole == "0" && fraction.empty() ? "" : sign) + whole + (fraction.empty() ? "" : "." + fraction);
}

// The line a coordinate line of the three fields becomes, or nothing where
// it must fail.
inline std::optional<std::string> transformed(const std::array<std::string_view, 3> &fields,
                                              const std::string (&factors)[3], int decimals)
{
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
