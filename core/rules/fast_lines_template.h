#pragma once

// The one-pass fast path, compiled once per processor variant: each
// fast_lines_*.cpp includes this with its own instruction set and its own
// steps to read, scale and write a batch of lines. Everything here has internal linkage and
// uses no inline function from a library header, so that no variant's
// instructions can leak into another's code.

#include "core/rules/fast_coordinate_line.h"
#include "core/rules/swar_clinger_reader.h"

#include <cstdint>
#include <cstring>

namespace morvane {
namespace {

// Scaled results below this have at most 15 digits, so their plain text is
// the scaled integer with a point put in; they are also below 2^52, where
// rounding by the 2^52 shift holds and a double converts to an integer
// exactly.
constexpr double kMaxScaled = 1e15;
static_assert(kMaxScaled <= 0x1p52, "scaled results round by the 2^52 shift");
// A line written: "", three times a comma, a sign, 15 digits and a point,
// then CR LF; the last number's stores may run 12 bytes past its start.
static_assert(2 + 2 * (1 + 1 + 15 + 1) + 1 + 1 + 12 + 2 <= kFastLineMax, "a line is written within its room");

// The numbers of a batch of lines, in the order of their lines and axes, as
// parseNumber reads them, then scaled.
constexpr std::size_t kBatchLines = 32;
constexpr std::size_t kBatchNumbers = 3 * kBatchLines;
struct Batch {
    alignas(64) double values[kBatchNumbers + 8]; // room for a whole last step
    alignas(64) std::int64_t scaled[kBatchNumbers + 8];
    std::size_t lengths[kBatchLines];
    std::size_t apart; // as FastProgress::apart, for this batch
};

// The steps of a line are small and run millions of times: inlined, they
// share registers instead of saving them at every call.
#define MORVANE_INLINE inline __attribute__((always_inline))

// Whether the line at `in` begins "", as a coordinate line does.
MORVANE_INLINE bool beginsCoordinateLine(const char *in)
{
    constexpr std::uint32_t kQuoteQuoteComma = '"' | '"' << 8 | ',' << 16;
    std::uint32_t head;
    __builtin_memcpy(&head, in, sizeof head);
    return (head & 0xFFFFFF) == kQuoteQuoteComma;
}

// The length of the line at `in` with its terminator, its numbers in slots
// 3 * line on; 0 where the line is of another form or not whole before end.
// Each field starts before `end`, so that its loads stay within the
// read-ahead.
MORVANE_INLINE std::size_t readLine(const char *in, const char *end, Batch &batch, std::size_t line)
{
    if (!beginsCoordinateLine(in))
        return 0;
    const char *p = in + 3;
    double *values = batch.values + 3 * line;
    if (!readDecimal(p, values[0]) || *p++ != ',' || p >= end || !readDecimal(p, values[1]) || *p++ != ',' || p >= end
        || !readDecimal(p, values[2]))
        return 0;
    p += *p == '\r';
    if (*p++ != '\n' || p > end)
        return 0;
    return static_cast<std::size_t>(p - in);
}

// The 8 digits of a value below 10^8, leading zeros kept, the first digit
// in the lowest byte, from one register: split 4 + 4, then each half into
// pairs, then digits, by multiplications that stand in for division by 100
// and by 10.
MORVANE_INLINE std::uint64_t eightDigits(std::uint64_t value)
{
    const std::uint64_t fours = (value / 10000) | ((value % 10000) << 32);
    const std::uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007FULL;
    const std::uint64_t pairs = hundreds | ((fours - hundreds * 100) << 16);
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
    return tens | ((pairs - tens * 10) << 8);
}

// Digits of larger values, rare in parts, one by one.
MORVANE_INLINE char *writeDigits(char *o, std::uint64_t value)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        *o++ = digits[--count];
    return o;
}

// The point and the decimals after a whole part, from `fraction`: the
// decimals, first lowest, each 0 to 9. All are stored; only those up to
// the last that is not zero are kept.
template <int Decimals>
MORVANE_INLINE char *writePoint(char *o, std::uint64_t fraction)
{
    const std::uint32_t point = '.' | static_cast<std::uint32_t>((fraction + 0x30 * kEachByte) << 8);
    __builtin_memcpy(o, &point, sizeof point);
    if constexpr (Decimals == 1)
        return o + (fraction != 0 ? 2 : 0);
    else
        return o + (fraction == 0 ? 0 : (fraction >> 8) == 0 ? 2 : 3);
}

// Scaled values of 10^8 and more, rare in parts: the whole part digit by
// digit, then the point and the decimals that are not zero. Stores up to 4
// bytes past its text.
template <int Decimals>
MORVANE_INLINE char *writeLarge(char *o, std::int64_t scaled)
{
    const bool negative = scaled < 0;
    *o = '-';
    o += negative;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    constexpr std::uint64_t unit = Decimals == 1 ? 10 : 100;
    o = writeDigits(o, magnitude / unit);
    const std::uint64_t decimals = magnitude % unit;
    return writePoint<Decimals>(o, Decimals == 1 ? decimals : (decimals / 10) | ((decimals % 10) << 8));
}

// A scaled integer as its decimal text: the whole part without leading
// zeros, then the point and the decimals that are not zero. Below 10^8 all
// the digits come from one eightDigits: the last `Decimals` are the
// fraction. Stores up to 12 bytes past `o`.
template <int Decimals>
MORVANE_INLINE char *writeScaled(char *o, std::int64_t scaled)
{
    constexpr int kWholeDigits = 8 - Decimals;
    const bool negative = scaled < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    if (magnitude >= 100000000) [[unlikely]]
        return writeLarge<Decimals>(o, scaled);
    *o = '-';
    o += negative;
    const std::uint64_t digits = eightDigits(magnitude);
    // Leading zeros are the low bytes; the whole part keeps one digit.
    const int zeros = __builtin_ctzll(digits | (std::uint64_t(1) << (8 * (kWholeDigits - 1)))) / 8;
    const std::uint64_t text = (digits + 0x30 * kEachByte) >> (8 * zeros);
    __builtin_memcpy(o, &text, sizeof text);
    o += kWholeDigits - zeros;
    return writePoint<Decimals>(o, digits >> (8 * kWholeDigits));
}

// Writes the first `count` lines of the batch from their scaled values.
template <int Decimals>
MORVANE_INLINE char *writeEach(const Batch &batch, std::size_t count, char *o)
{
    for (std::size_t line = 0; line < count; ++line) {
        *o++ = '"';
        *o++ = '"';
        for (std::size_t axis = 0; axis < 3; ++axis) {
            *o++ = ',';
            o = writeScaled<Decimals>(o, batch.scaled[3 * line + axis]);
        }
        *o++ = '\r';
        *o++ = '\n';
    }
    return o;
}

// Up to `wanted` lines from `p` into the batch, one at a time, with their
// lengths; stops before a line readLine leaves.
MORVANE_INLINE std::size_t readEach(const char *p, const char *end, Batch &batch, std::size_t wanted)
{
    std::size_t read = 0;
    while (read < wanted && p < end) {
        const std::size_t length = readLine(p, end, batch, read);
        if (length == 0)
            break;
        batch.lengths[read++] = length;
        p += length;
    }
    return read;
}

// The read and write steps of the variants that take one line and one
// number at a time; each adds its own scale.
struct EachLineSteps {
    static constexpr auto read = readEach;
    template <int Decimals>
    static char *write(const Batch &batch, std::size_t count, char *out)
    {
        return writeEach<Decimals>(batch, count, out);
    }
};

// Has `Steps` read batches of lines from `in`, up to `maxLines` lines in
// all, and hands each to `take`, which tells how many of its lines, from
// the first, it took; stops after a batch taken short, at a line the fast
// path leaves to the general rules.
template <typename Steps, typename Take>
MORVANE_INLINE FastProgress eachBatch(const char *in, const char *end, std::size_t maxLines, Take take)
{
    FastProgress progress;
    Batch batch;
    batch.apart = 0;
    while (progress.lines < maxLines) {
        const std::size_t left = maxLines - progress.lines;
        const std::size_t wanted = left < kBatchLines ? left : kBatchLines;
        const std::size_t read = Steps::read(in + progress.consumed, end, batch, wanted);
        const std::size_t done = take(batch, read, progress);
        progress.apart += batch.apart;
        batch.apart = 0;
        for (std::size_t line = 0; line < done; ++line)
            progress.consumed += batch.lengths[line];
        progress.lines += done;
        if (done < wanted)
            break;
    }
    return progress;
}

// Has `Steps` read a batch of lines, scale and format their numbers, and
// writes them:
// - Steps::read does what readEach does;
// - Steps::scale turns each number into value times the factor of its axis
//   (number i is on axis i % 3) times 10^decimals, rounded half to even, by
//   the general rules' operations on the same doubles; it returns how many
//   lines, from the first, have all their results below kMaxScaled;
// - Steps::write<Decimals> does what writeEach does.
// One instance per precision, so that splitting a scaled integer divides by
// a constant.
template <int Decimals, typename Steps>
FastProgress transformLines(const char *in, const char *end, const double *factors, char *out, std::size_t maxLines)
{
    return eachBatch<Steps>(in, end, maxLines, [&](Batch &batch, std::size_t read, FastProgress &progress) {
        const std::size_t done = read == 0 ? 0 : Steps::scale(batch, 3 * read, factors, kPowersOfTen[Decimals]);
        progress.written =
            static_cast<std::size_t>(Steps::template write<Decimals>(batch, done, out + progress.written) - out);
        return done;
    });
}

template <typename Steps>
FastProgress transformLinesAt(int decimals, const char *in, const char *end, const double *factors, char *out,
                              std::size_t maxLines)
{
    if (decimals == 1)
        return transformLines<1, Steps>(in, end, factors, out, maxLines);
    return transformLines<2, Steps>(in, end, factors, out, maxLines);
}

// Has `Steps` read lines, as transformLines does, and gives their values.
template <typename Steps>
FastProgress readLines(const char *in, const char *end, double *values, std::size_t maxLines)
{
    return eachBatch<Steps>(in, end, maxLines, [&](const Batch &batch, std::size_t read, const FastProgress &progress) {
        double *out = values + 3 * progress.lines;
        for (std::size_t i = 0; i < 3 * read; ++i)
            out[i] = batch.values[i];
        return read;
    });
}

#undef MORVANE_INLINE

} // namespace
} // namespace morvane
