#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace morvane {

// The longest text the fast path writes for one line, its CR LF included.
inline constexpr std::size_t kFastLineMax = 72;
// How far past the start of a line the fast path may read: the caller's
// buffer is readable that far past any line start it hands over, even past
// the end of the data, whose bytes then count for nothing.
inline constexpr std::size_t kFastReadAhead = 64;
// The longest field the fast path reads, blanks included, and so its longest
// line: "", three fields, two commas, CR LF.
inline constexpr std::size_t kFastFieldMax = 48;
inline constexpr std::size_t kFastLineLongest = 3 + 3 * kFastFieldMax + 2 + 2;

struct FastProgress {
    std::size_t consumed = 0; // bytes read, whole lines with their terminators
    std::size_t written = 0; // bytes written, whole lines with CR LF
    std::size_t lines = 0;
    // Numbers the AVX-512 lanes left to be read one at a time, in the
    // batches read: each costs several times a number in a lane.
    std::size_t apart = 0;
};

// Transforms the coordinate lines at the start of [in, end) for as long as
// it reads them exactly: "", and three numbers separated by commas, ending
// in CR LF or LF; each number of the form parseNumber reads, of at most 19
// digits from its first that is not zero, at most 4 in its exponent and
// kFastFieldMax bytes with its blanks, and its result below 10^15 scaled
// units. Each line is read once and split as
// it is read; the numbers of up to 32 lines are scaled together. At most
// `maxLines` lines go to `out`, kFastLineMax bytes of room each. Stops
// before a line of any other form or not whole before `end`, for the
// general rules to take; where it answers, it answers exactly as they would.
using FastLines = FastProgress (*)(const char *in, const char *end, const double *factors, int decimals, char *out,
                                   std::size_t maxLines);

// One per instruction set; each does exactly what the plain one does.
FastProgress fastLinesPlain(const char *, const char *, const double *, int, char *, std::size_t);
FastProgress fastLinesAvx2(const char *, const char *, const double *, int, char *, std::size_t);
FastProgress fastLinesAvx512(const char *, const char *, const double *, int, char *, std::size_t);

// Reads the values of up to `maxLines` coordinate lines of the fast path's
// form at the start of [in, end) into `values`, three per line, exactly as the
// general rules read them; stops before a line of any other form or not
// whole before `end`. Nothing is written: `written` stays 0.
using FastReadLines = FastProgress (*)(const char *in, const char *end, double *values, std::size_t maxLines);

FastProgress fastReadLinesPlain(const char *, const char *, double *, std::size_t);
FastProgress fastReadLinesAvx2(const char *, const char *, double *, std::size_t);
FastProgress fastReadLinesAvx512(const char *, const char *, double *, std::size_t);

struct FastPathVariant {
    const char *name;
    FastLines transform;
    FastReadLines read;
};
// The variants this processor can run, the plain one first.
std::size_t availableFastPaths(std::array<FastPathVariant, 3> &variants);
// The fastest of them.
FastLines bestFastPath();
FastReadLines bestFastReader();

// One line without its terminator, as the general rules see it: the written
// length, or nothing where the fast path leaves the line to them.
std::optional<std::size_t> fastTransformCoordinateLine(std::string_view line, const std::array<double, 3> &factors,
                                                       int decimals, char *out, FastLines transform = fastLinesPlain);

} // namespace morvane
