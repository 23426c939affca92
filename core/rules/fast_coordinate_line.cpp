#include "core/rules/fast_coordinate_line.h"

#include "core/rules/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace morvane {

namespace {

// Numbers are read by Clinger's fast path: the digits, at most 15 of them,
// form an exact double; dividing it by an exact power of ten is one
// correctly rounded operation, so the value is the double from_chars reads.
// Preconditions: the FPU rounds to nearest (the C++ default, which nothing
// here changes), and 10^fraction digits is exact as a double (up to 10^22).
constexpr int kMaxDigits = 15;
static_assert(kPowersOfTen[kMaxDigits] < 0x1p53, "15 digits always form an exact double");
static_assert(sizeof kPowersOfTen / sizeof kPowersOfTen[0] > kMaxDigits, "every fraction length has its power");
// Results below 10^15 scaled units have at most 15 digits, so their plain
// text is the scaled integer with a decimal point put in; they are also
// below 2^52, where roundScaledHalfEven holds.
constexpr double kMaxScaled = 1e15;
static_assert(kMaxScaled <= 0x1p52, "scaled results round by the 2^52 shift");
// The longest line written: "" and three times a comma, a sign, 15 digits
// and a point, then CR LF.
static_assert(2 + 3 * (1 + 1 + kMaxDigits + 1) + 2 <= kFastLineMax, "a line always fits the room reserved for it");

struct ShortDecimal {
    std::uint64_t digits = 0;
    int fractionDigits = 0;
    bool negative = false;
};

// Reads [blanks][sign]digits[.digits][blanks] up to `stop` (a comma, or the
// end of the line when stop is 0). False for anything else.
bool readShortDecimal(const char *&p, const char *end, char stop, ShortDecimal &number)
{
    while (p < end && isNumberBlank(*p))
        ++p;
    if (p < end && (*p == '-' || *p == '+')) {
        number.negative = *p == '-';
        ++p;
    }
    int count = 0;
    while (p < end && isDecimalDigit(*p)) {
        number.digits = number.digits * 10 + static_cast<unsigned>(*p - '0');
        ++count;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && isDecimalDigit(*p)) {
            number.digits = number.digits * 10 + static_cast<unsigned>(*p - '0');
            ++count;
            ++number.fractionDigits;
            ++p;
        }
    }
    if (count == 0 || count > kMaxDigits)
        return false;
    while (p < end && isNumberBlank(*p))
        ++p;
    if (stop == 0)
        return p == end;
    if (p == end || *p != stop)
        return false;
    ++p;
    return true;
}

// Up to four digits without a branch on their count: all four are made in
// a register, first digit lowest, and the store skips the leading zeros.
char *writeSmallInteger(char *o, std::uint64_t value)
{
    if (std::endian::native != std::endian::little || value >= 10000)
        return std::to_chars(o, o + 20, value).ptr;
    const auto v = static_cast<std::uint32_t>(value);
    const std::uint32_t ascii =
        0x30303030U | (v / 1000) | ((v / 100 % 10) << 8) | ((v / 10 % 10) << 16) | ((v % 10) << 24);
    const int length = 1 + (v >= 10) + (v >= 100) + (v >= 1000);
    const std::uint32_t shifted = ascii >> (8 * (4 - length));
    std::memcpy(o, &shifted, sizeof shifted);
    return o + length;
}

template <int Decimals>
char *writeScaled(char *o, std::int64_t scaled)
{
    constexpr std::uint64_t unit = Decimals == 1 ? 10 : 100;
    const bool negative = scaled < 0;
    *o = '-';
    o += negative;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    o = writeSmallInteger(o, magnitude / unit);
    const auto fraction = static_cast<unsigned>(magnitude % unit);
    // The point and every decimal are written; only those that count are kept.
    o[0] = '.';
    if constexpr (Decimals == 1) {
        o[1] = static_cast<char>('0' + fraction);
        return o + (fraction != 0 ? 2 : 0);
    } else {
        o[1] = static_cast<char>('0' + fraction / 10);
        o[2] = static_cast<char>('0' + fraction % 10);
        return o + (fraction == 0 ? 0 : fraction % 10 == 0 ? 2 : 3);
    }
}

// One instance per precision, so that splitting the scaled integer divides
// by a constant. The three axes are read first and computed together, so
// their divisions overlap instead of waiting on each other.
template <int Decimals>
std::optional<std::size_t> transformWithDecimals(std::string_view line, const std::array<double, 3> &factors, char *out)
{
    if (!line.starts_with("\"\","))
        return std::nullopt;
    const char *p = line.data() + 3;
    const char *const end = line.data() + line.size();
    ShortDecimal numbers[3];
    if (!readShortDecimal(p, end, ',', numbers[0]) || !readShortDecimal(p, end, ',', numbers[1])
        || !readShortDecimal(p, end, 0, numbers[2]))
        return std::nullopt;

    constexpr double scale = kPowersOfTen[Decimals];
    std::int64_t rounded[3];
    for (int axis = 0; axis < 3; ++axis) {
        double value = static_cast<double>(numbers[axis].digits) / kPowersOfTen[numbers[axis].fractionDigits];
        if (numbers[axis].negative)
            value = -value;
        const double scaled = value * factors[axis] * scale;
        if (!(std::fabs(scaled) < kMaxScaled))
            return std::nullopt;
        rounded[axis] = static_cast<std::int64_t>(roundScaledHalfEven(scaled));
    }

    char *o = out;
    *o++ = '"';
    *o++ = '"';
    for (const std::int64_t value : rounded) {
        *o++ = ',';
        o = writeScaled<Decimals>(o, value);
    }
    *o++ = '\r';
    *o++ = '\n';
    return static_cast<std::size_t>(o - out);
}

} // namespace

std::optional<std::size_t> fastTransformCoordinateLine(std::string_view line, const std::array<double, 3> &factors,
                                                       int decimals, char *out)
{
    switch (decimals) {
    case 1:
        return transformWithDecimals<1>(line, factors, out);
    case 2:
        return transformWithDecimals<2>(line, factors, out);
    default:
        return std::nullopt;
    }
}

} // namespace morvane
