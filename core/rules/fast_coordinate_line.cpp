#include "core/rules/fast_coordinate_line.h"

#include "core/rules/number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace morvane {

namespace {

// The byte tricks below read 8 bytes into a register, the first byte lowest
// (SWAR: SIMD within a register).
static_assert(std::endian::native == std::endian::little, "the first byte of a load is its lowest");
constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
constexpr int kMaxWhole = 7; // digits before the point; 8 in a load means "8 or more"
constexpr int kMaxFraction = ShortNumbers::kMaxFraction;
// Digits form an exact double, and its quotient by 10^fraction is one
// correctly rounded division: Clinger's fast path, as from_chars reads.
static_assert(kPowersOfTen[kMaxWhole + kMaxFraction] < 0x1p53, "the digits of a number form an exact double");
// A line read: "", three times a sign, the digits with the point and a load
// of 8 past the last digit, a comma; then CR LF.
static_assert(3 + 3 * (1 + kMaxWhole + 1 + 8 + 1) + 2 <= kFastReadAhead, "a line is read within the read-ahead");
// A line written: "", three times a comma, a sign, 15 digits and a point,
// then CR LF; the digit stores may run 8 bytes past a number.
static_assert(2 + 3 * (1 + 1 + 15 + 1) + 2 + 8 <= kFastLineMax, "a line is written within its room");

constexpr std::uint64_t kWholePowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

std::uint64_t load8(const char *p)
{
    std::uint64_t bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// The bytes at p less '0', and how many of them are digits from the first
// (8 for eight or more). A byte is a digit when, less '0', it is below 10:
// adding 0x76 to its low seven bits then stays below 0x80, without carrying
// into the next byte.
struct DigitRun {
    std::uint64_t values;
    int count;
};

DigitRun digitRun(const char *p)
{
    const std::uint64_t values = load8(p) ^ (0x30 * kEachByte);
    const std::uint64_t notDigit = (((values & (0x7F * kEachByte)) + 0x76 * kEachByte) | values) & (0x80 * kEachByte);
    return {values, notDigit == 0 ? 8 : std::countr_zero(notDigit) / 8};
}

// The first `count` (1 to 8) digit values as one number: moved to the top of
// the register, so that zeros lead, then joined pairwise (fast_float's
// eight-digit reduction: pairs, then fours, then eight).
std::uint64_t valueOfDigits(std::uint64_t values, int count)
{
    std::uint64_t v = values << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)))
         + (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))))
        >> 32;
    return v & 0xFFFFFFFF;
}

// [-]digits[.digits] into slot `at`; false for anything else.
bool readNumber(const char *&p, ShortNumbers &numbers, std::size_t at)
{
    const bool negative = *p == '-';
    p += negative;
    const DigitRun whole = digitRun(p);
    if (whole.count == 0 || whole.count > kMaxWhole)
        return false;
    p += whole.count;
    std::uint64_t digits = valueOfDigits(whole.values, whole.count);
    int fraction = 0;
    if (*p == '.') {
        const DigitRun part = digitRun(p + 1);
        fraction = part.count;
        if (fraction > kMaxFraction)
            return false;
        if (fraction != 0)
            digits = digits * kWholePowers[fraction] + valueOfDigits(part.values, fraction);
        p += 1 + fraction;
    }
    numbers.digits[at] = digits;
    numbers.fraction[at] = fraction;
    numbers.negative[at] = negative;
    return true;
}

// The length of the line at `in` with its terminator, its numbers in slots
// 3 * line on; 0 where the line is of another form or not whole before end.
std::size_t readLine(const char *in, const char *end, ShortNumbers &numbers, std::size_t line)
{
    constexpr std::uint32_t kQuoteQuoteComma = '"' | '"' << 8 | ',' << 16;
    std::uint32_t head;
    std::memcpy(&head, in, sizeof head);
    if ((head & 0xFFFFFF) != kQuoteQuoteComma)
        return 0;
    const char *p = in + 3;
    if (!readNumber(p, numbers, 3 * line) || *p++ != ',' || !readNumber(p, numbers, 3 * line + 1) || *p++ != ','
        || !readNumber(p, numbers, 3 * line + 2))
        return 0;
    p += *p == '\r';
    if (*p++ != '\n' || p > end)
        return 0;
    return static_cast<std::size_t>(p - in);
}

// Up to 8 digits (value below 10^8) without leading zeros, from one
// register: split 4 + 4, then each half into pairs, then digits, by
// multiplications that stand in for division by 100 and by 10. Stores 8
// bytes.
char *writeDigits(char *o, std::uint64_t value)
{
    const std::uint64_t fours = (value / 10000) | ((value % 10000) << 32);
    const std::uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007FULL;
    const std::uint64_t pairs = hundreds | ((fours - hundreds * 100) << 16);
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
    const std::uint64_t digits = tens | ((pairs - tens * 10) << 8);
    // Leading zeros are the low bytes; a zero keeps its one digit.
    const int zeros = std::countr_zero(digits | (1ULL << 56)) / 8;
    const std::uint64_t text = (digits + 0x30 * kEachByte) >> (8 * zeros);
    std::memcpy(o, &text, sizeof text);
    return o + 8 - zeros;
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
    const std::uint64_t whole = magnitude / unit;
    o = whole < 100000000 ? writeDigits(o, whole) : std::to_chars(o, o + 20, whole).ptr;
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

// One instance per precision, so that splitting a scaled integer divides by
// a constant.
template <int Decimals>
FastProgress transformLines(const char *in, const char *end, const std::array<double, 3> &factors, char *out,
                            std::size_t maxLines, ScaleKernel kernel)
{
    constexpr std::size_t kBatch = ShortNumbers::kCapacity / 3;
    FastProgress progress;
    ShortNumbers numbers;
    ScaledNumbers scaled;
    std::size_t lengths[kBatch];
    while (progress.lines < maxLines) {
        const std::size_t wanted = std::min(kBatch, maxLines - progress.lines);
        const char *p = in + progress.consumed;
        std::size_t read = 0;
        while (read < wanted && p < end) {
            const std::size_t length = readLine(p, end, numbers, read);
            if (length == 0)
                break;
            lengths[read++] = length;
            p += length;
        }
        const std::size_t done = read == 0 ? 0 : kernel(numbers, 3 * read, factors, Decimals, scaled);
        char *o = out + progress.written;
        for (std::size_t line = 0; line < done; ++line) {
            *o++ = '"';
            *o++ = '"';
            for (std::size_t axis = 0; axis < 3; ++axis) {
                *o++ = ',';
                o = writeScaled<Decimals>(o, scaled[3 * line + axis]);
            }
            *o++ = '\r';
            *o++ = '\n';
            progress.consumed += lengths[line];
        }
        progress.written = static_cast<std::size_t>(o - out);
        progress.lines += done;
        if (done < wanted)
            break;
    }
    return progress;
}

} // namespace

FastProgress fastTransformLines(const char *in, const char *end, const std::array<double, 3> &factors, int decimals,
                                char *out, std::size_t maxLines, ScaleKernel kernel)
{
    switch (decimals) {
    case 1:
        return transformLines<1>(in, end, factors, out, maxLines, kernel);
    case 2:
        return transformLines<2>(in, end, factors, out, maxLines, kernel);
    default:
        return {};
    }
}

std::optional<std::size_t> fastTransformCoordinateLine(std::string_view line, const std::array<double, 3> &factors,
                                                       int decimals, char *out, ScaleKernel kernel)
{
    // A CR at the end is data, never half of the terminator added here.
    if (line.ends_with('\r'))
        return std::nullopt;
    std::string padded(line);
    padded += '\n';
    const std::size_t length = padded.size();
    padded.append(kFastReadAhead, '\0');
    const FastProgress progress =
        fastTransformLines(padded.data(), padded.data() + length, factors, decimals, out, 1, kernel);
    if (progress.lines != 1 || progress.consumed != length)
        return std::nullopt;
    return progress.written;
}

} // namespace morvane
