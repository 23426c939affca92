// libFuzzer target over the line rules. Beyond surviving any input it checks
// what the rules promise: a transformed line is "" and three numbers that
// read back with at most the precision's decimals, never -0; it is the line
// an oracle worked out apart from both number paths gives; the fast path
// takes exactly the lines of the forms it reads and agrees with the general
// rules there, in every variant the processor runs, one line alone or
// between others; a rewritten header keeps its form.
//
// An input whose first byte has bit 1 set is not read as text: its bytes
// choose three factors and a line of numbers in every form a number takes,
// near the halves that rounding decides, and the text that input stands for
// is checked as any other.

#include "core/rules/fast_coordinate_line.h"
#include "core/rules/number_text.h"
#include "core/rules/part_lines.h"
#include "tests/decimal_oracle.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace morvane;

namespace {

void require(bool condition, const char *what, std::string_view input)
{
    if (condition)
        return;
    // The input whole, its mode byte and any NUL in it too.
    std::fprintf(stderr, "property broken: %s\ninput: ", what);
    std::fwrite(input.data(), 1, input.size(), stderr);
    std::fputc('\n', stderr);
    std::abort();
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// A number as formatNumber writes it, at most `decimals` after the point
// (or an integral value of 10^15 or more written with E+).
void checkWrittenNumber(std::string_view text, int decimals, std::string_view input)
{
    // The largest doubles' 15 digits round past the largest: they are
    // written so, and read back as an overflow.
    if (text.ends_with("1.79769313486232E+308"))
        return;
    const auto value = parseNumber(text);
    require(value.has_value(), "a written number reads back", input);
    require(std::isfinite(*value), "a written number is finite", input);
    require(text != "-0", "zero is never written -0", input);
    const std::size_t exponent = text.find('E');
    if (exponent != std::string_view::npos) {
        require(std::fabs(*value) >= 1e15, "only 10^15 and above take an exponent", input);
        require(std::trunc(*value) == *value, "a value with an exponent is whole", input);
        return;
    }
    const std::size_t point = text.find('.');
    if (point != std::string_view::npos)
        require(text.size() - point - 1 <= static_cast<std::size_t>(decimals), "decimals within the precision", input);
}

// The value of a field the fast path reads, by from_chars: at most 48
// bytes of [blanks][+|-]digits[.digits][(e|E)[+|-]1 to 4 digits][blanks],
// a mantissa digit at least, at most 19 digits from the first that is not
// zero, and a value from_chars reads in range. Nothing for any other field.
std::optional<double> fastValue(std::string_view field)
{
    std::size_t i = 0;
    const auto skip = [&](auto is) {
        const std::size_t from = i;
        while (i < field.size() && is(field[i]))
            ++i;
        return i - from;
    };
    const auto sign = [&] { i += i < field.size() && (field[i] == '+' || field[i] == '-'); };
    skip(isNumberBlank);
    const std::size_t start = i + (i < field.size() && field[i] == '+');
    sign();
    const std::size_t mantissaStart = i;
    skip(isDecimalDigit);
    if (i < field.size() && field[i] == '.' && ++i)
        skip(isDecimalDigit);
    std::string mantissa(field.substr(mantissaStart, i - mantissaStart));
    std::erase(mantissa, '.');
    const std::size_t first = mantissa.find_first_not_of('0');
    if (field.size() > 48 || mantissa.empty() || (first != std::string::npos && mantissa.size() - first > 19))
        return std::nullopt;
    if (i < field.size() && (field[i] == 'e' || field[i] == 'E')) {
        ++i;
        sign();
        const std::size_t digits = skip(isDecimalDigit);
        if (digits < 1 || digits > 4)
            return std::nullopt;
    }
    const std::size_t stop = i;
    if (skip(isNumberBlank) + stop != field.size())
        return std::nullopt;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(field.data() + start, field.data() + stop, value);
    if (ec != std::errc() || ptr != field.data() + stop)
        return std::nullopt;
    return value;
}

// The values of a line whose every field the fast path reads.
std::optional<std::array<double, 3>> fastValues(std::string_view line)
{
    if (!line.starts_with("\"\","))
        return std::nullopt;
    const std::vector<std::string_view> fields = split(line.substr(3), ',');
    std::array<double, 3> values;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const auto value = fields.size() == 3 ? fastValue(fields[axis]) : std::nullopt;
        if (!value)
            return std::nullopt;
        values[axis] = *value;
    }
    return values;
}

// Whether the fast path transforms the line: it reads it and each result
// is below 10^15 units.
bool fastTakes(std::string_view line, const std::array<double, 3> &factors, int decimals)
{
    const auto values = fastValues(line);
    for (std::size_t axis = 0; values && axis < 3; ++axis)
        if (!(std::fabs((*values)[axis] * factors[axis] * kPowersOfTen[decimals]) < 1e15))
            return false;
    return values.has_value();
}

// The line between two of the common form, as a reader's window holds it,
// the window's end `cut` bytes before the end of the third: each variant
// takes, in order, the lines whole before the end that it takes alone, and
// writes and reads what the general rules do.
void checkBetween(std::string_view line, const AxisFactors &factors, const std::array<double, 3> &values,
                  PrecisionMode precision, std::size_t cut, bool crlf, std::string_view input)
{
    const std::string shown =
        std::string(input) + "\n(" + std::to_string(cut) + " bytes cut" + (crlf ? ", CR LF)" : ")");
    const std::string lines[3] = {"\"\",1.5,-2,0.25", std::string(line), "\"\",-7,0,3.5"};
    std::string text, written;
    std::size_t ends[3];
    for (std::size_t k = 0; k < 3; ++k) {
        text += lines[k] + (k == 1 && crlf ? "\r\n" : "\n");
        ends[k] = text.size();
    }
    const std::size_t end = text.size() - std::min(cut, text.size());
    std::size_t taken = 0, read = 0;
    while (read < 3 && ends[read] <= end && fastValues(lines[read]))
        ++read;
    for (; taken < read && fastTakes(lines[taken], values, decimalsFor(precision)); ++taken) {
        const auto general = transformCoordinateLine(lines[taken], factors, precision);
        require(general.has_value(), "the general rules take what the fast path takes", shown);
        written += *general + "\r\n";
    }
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(text.size() + kFastReadAhead, '\0');
    std::array<FastPathVariant, 3> variants;
    for (std::size_t k = 0; k < availableFastPaths(variants); ++k) {
        char out[3 * kFastLineMax];
        const FastProgress progress =
            variants[k].transform(buffer.data(), buffer.data() + end, values.data(), decimalsFor(precision), out, 3);
        require(progress.lines == taken && progress.consumed == (taken ? ends[taken - 1] : 0)
                    && std::string_view(out, progress.written) == written,
                "lines among others are taken and written as alone", shown);
        double got[9];
        require(variants[k].read(buffer.data(), buffer.data() + end, got, 3).lines == read,
                "lines among others are read as alone", shown);
        for (std::size_t i = 0; i < 3 * read; ++i)
            require(sameBits(got[i], readCoordinateLine(lines[i / 3]).value_or(std::array<double, 3>{})[i % 3]),
                    "values among others are read as alone", shown);
    }
}

// The input's bytes, one at a time; zeros once they run out.
struct Draw {
    std::string_view bytes;

    unsigned byte()
    {
        if (bytes.empty())
            return 0;
        const auto b = static_cast<unsigned char>(bytes.front());
        bytes.remove_prefix(1);
        return b;
    }
    std::uint64_t below(std::uint64_t n)
    {
        std::uint64_t value = 0;
        for (std::uint64_t range = 1; range < n && range < (std::uint64_t(1) << 56); range <<= 8)
            value = value << 8 | byte();
        return value % n;
    }
};

// The number d.ddde±x as text of a form the input chooses: its digits cut
// of trailing zeros or given more, any number after the point, an exponent
// of one to five digits or none, leading zeros, .5 and 5., a sign, blanks
// around, and blanks to make it 46 to 49 bytes.
std::string numberForm(Draw &draw, std::string_view scientific)
{
    const bool negative = scientific.starts_with('-');
    scientific.remove_prefix(negative);
    const std::size_t mark = scientific.find('e');
    std::string digits(scientific.substr(0, mark));
    std::erase(digits, '.');
    int exponent = std::atoi(scientific.data() + mark + 1);
    const unsigned form = draw.byte();
    if (form & 1)
        digits.erase(std::max<std::size_t>(1, digits.find_last_not_of('0') + 1));
    digits.append(form & 2 ? draw.below(4) : 0, '0');
    // The point `fraction` digits from the end, then the exponent that keeps
    // the value: none, if the point goes where the value puts it.
    int fraction = form & 4 ? int(draw.below(20)) : int(digits.size()) - 1 - exponent;
    if (fraction < 0)
        digits.append(std::size_t(-fraction), '0');
    fraction = std::max(fraction, 0);
    exponent -= int(digits.size()) - 1 - fraction;
    if (std::size_t(fraction) >= digits.size())
        digits.insert(0, std::size_t(fraction) + 1 - digits.size(), '0');
    digits.insert(0, form & 8 ? draw.below(4) : 0, '0');
    if (fraction > 0 || form & 16)
        digits.insert(digits.size() - std::size_t(fraction), 1, '.');
    if (form & 32 && digits.starts_with("0.") && fraction > 0)
        digits.erase(0, 1);
    std::string text = negative ? "-" : form & 64 ? "+" : "";
    text += digits;
    if (form & 4) {
        char power[16];
        const unsigned how = draw.byte();
        const char *sign = exponent < 0 ? "-" : how & 2 ? "+" : "";
        std::snprintf(power, sizeof power, "%c%s%0*d", "eE"[how & 1], sign, 1 + int(how >> 2) % 5, std::abs(exponent));
        text += power;
    }
    const unsigned blanks = draw.byte();
    text.insert(0, std::string_view("  \t ", blanks & 3));
    text += std::string_view("\t  ", blanks >> 2 & 3);
    if ((blanks & 0x30) == 0x30 && text.size() < 46 + (blanks >> 6))
        text.insert(0, 46 + (blanks >> 6) - text.size(), ' ');
    return text;
}

// A number on an axis of this factor: a half of the result's last decimal,
// or the double's neighbours of one, of 15 to 19 significant digits (at
// times 1 to 22); digits as they come; or a value at an edge of the doubles.
std::string numberText(Draw &draw, double factor, int decimals)
{
    static constexpr const char *kEdges[] = {"9.007199254740993e15",
                                             "9.007199254740992e15",
                                             "4.5035996273704965e15",
                                             "1e22",
                                             "1e23",
                                             "1.2345678901234567e22",
                                             "2.2250738585072014e-308",
                                             "4.9406564584124654e-324",
                                             "2.4703282292062328e-324",
                                             "1.7976931348623157e308",
                                             "1.7976931348623158e308",
                                             "1.7976931348623159e308",
                                             "1e308",
                                             "0e0",
                                             "1e15",
                                             "9.999999999999995e14",
                                             "1.8446744073709551615e19",
                                             "9.999999999999999999e18",
                                             "1e-19",
                                             "5e-3"};
    const unsigned choice = draw.byte();
    const int digits = choice & 0x80 ? 1 + int(draw.below(22)) : 15 + int(draw.below(5));
    char text[96];
    if (choice % 4 < 2) {
        const int magnitude = 1 + int(draw.below(16));
        const std::uint64_t units = choice & 0x40 ? std::uint64_t(kPowersOfTen[magnitude]) - 1 - draw.below(2)
                                                  : draw.below(std::uint64_t(kPowersOfTen[magnitude]));
        double value = (double(units) + 0.5) / kPowersOfTen[decimals] / factor;
        for (unsigned steps = choice % 4 * (1 + draw.below(2)); steps > 0; --steps)
            value = std::nextafter(value, choice & 0x20 ? HUGE_VAL : -HUGE_VAL);
        std::snprintf(text, sizeof text, "%.*e", digits - 1, choice & 0x10 ? -value : value);
    } else if (choice % 4 == 2) {
        std::string mantissa = std::to_string(1 + draw.below(9)) + '.';
        for (int i = 1; i < digits; ++i)
            mantissa += char('0' + draw.below(10));
        const long exponent = choice & 0x40 ? long(draw.below(661)) - 340 : long(draw.below(41)) - 20;
        std::snprintf(text, sizeof text, "%s%se%ld", choice & 0x10 ? "-" : "", mantissa.c_str(), exponent);
    } else {
        std::snprintf(text, sizeof text, "%s%s", choice & 0x10 ? "-" : "", kEdges[draw.below(std::size(kEdges))]);
    }
    return numberForm(draw, text);
}

// The text input the bytes after the first stand for: three factors from
// a list and a line of three numbers chosen for them.
std::string chosenInput(std::uint8_t mode, Draw &draw)
{
    static constexpr const char *kFactors[] = {"1",   "1.00", "2",  "0.5", "-1.37", "2.5",       "1e-3", "1000",
                                               "0.1", "3",    "-1", "0.7", "1.1",   "12345.678", "1e9",  "-0.3"};
    std::string factors[3], line = "\"\"";
    for (std::string &factor : factors)
        factor = kFactors[draw.below(std::size(kFactors))];
    for (const std::string &factor : factors)
        line += ','
            + numberText(draw, *parseNumber(factor), decimalsFor(mode & 1 ? PrecisionMode::AF5 : PrecisionMode::AF99));
    return std::string(1, char(mode & 1)) + factors[0] + '\n' + factors[1] + '\n' + factors[2] + '\n' + line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string_view input(reinterpret_cast<const char *>(data), size);
    // Where the window of lines ends before the end of three, and whether
    // the line ends in CR LF among them.
    std::size_t cut = 0;
    bool crlf = size % 2;
    std::string chosen;
    if (data[0] & 2) {
        Draw draw{input.substr(1)};
        chosen = chosenInput(data[0], draw);
        input = chosen;
        crlf = draw.byte() & 1;
        cut = draw.byte() & 1 ? draw.below(256) : 0;
    }
    const PrecisionMode precision = (data[0] & 1) ? PrecisionMode::AF5 : PrecisionMode::AF99;
    const int decimals = decimalsFor(precision);

    // The input is: a mode byte, then the three factor texts and the line,
    // separated by newlines; missing factors are 1.00.
    const std::vector<std::string_view> parts = split(input.substr(1), '\n');
    ResizeSettings settings;
    settings.precision = precision;
    std::string_view line = parts.back();
    if (parts.size() > 1)
        settings.right = std::string(parts[0]);
    if (parts.size() > 2)
        settings.fore = std::string(parts[1]);
    if (parts.size() > 3)
        settings.up = std::string(parts[2]);

    if (const auto value = parseNumber(line))
        require(std::isfinite(*value), "parseNumber gives finite numbers", input);

    if (const auto header = rewriteHeaderLine(line, "wing.afp", "wing_new1")) {
        require(header->starts_with("\"\",\"wing_new1\",\""), "a header begins with the new name", input);
        require(header->ends_with("\""), "a header ends with a quote", input);
        require(header->size() <= line.size() + 24, "a header grows by the new name and -Resized at most", input);
    }

    const AxisFactors factors = readFactors(settings);
    const auto transformed = transformCoordinateLine(line, factors, precision);
    const std::string texts[3] = {settings.right, settings.fore, settings.up};
    const auto fields = splitCoordinateFields(line);
    const auto expected = fields ? oracle::transformed(*fields, texts, decimals) : std::nullopt;
    require(transformed.has_value() == expected.has_value(), "the oracle fails where the rules fail", input);
    if (transformed) {
        require(*transformed == *expected, "the oracle gives the same line", input);
        require(transformed->starts_with("\"\","), "a coordinate line begins with \"\",", input);
        const std::vector<std::string_view> fields = split(std::string_view(*transformed).substr(3), ',');
        require(fields.size() == 3, "a coordinate line holds three numbers", input);
        for (const std::string_view field : fields)
            checkWrittenNumber(field, decimals, input);
    }
    const auto readable = fastValues(line);
    std::array<FastPathVariant, 3> variants;
    const std::size_t count = availableFastPaths(variants);
    if (factors.factor[0] && factors.factor[1] && factors.factor[2]) {
        const std::array<double, 3> values = {*factors.factor[0], *factors.factor[1], *factors.factor[2]};
        const bool takes = fastTakes(line, values, decimals);
        for (std::size_t k = 0; k < count; ++k) {
            char out[kFastLineMax];
            const auto length = fastTransformCoordinateLine(line, values, decimals, out, variants[k].transform);
            require(length.has_value() == takes, "the fast path takes the lines of the forms it reads", input);
            if (length)
                require(std::string_view(out, *length) == transformed.value_or("") + "\r\n", "the fast path agrees",
                        input);
        }
        if (!line.ends_with('\r'))
            checkBetween(line, factors, values, precision, cut, crlf, input);
    }
    const std::string padded = std::string(line) + '\n' + std::string(kFastReadAhead, '\0');
    for (std::size_t k = 0; k < count && !line.ends_with('\r'); ++k) {
        double read[3];
        const std::size_t lines = variants[k].read(padded.data(), padded.data() + line.size() + 1, read, 1).lines;
        require((lines == 1) == readable.has_value(), "the size reader reads the forms the fast path reads", input);
        const auto values = readCoordinateLine(line);
        require(lines == 0 || values.has_value(), "the size reader reads only what the general rules read", input);
        for (std::size_t axis = 0; axis < 3 * lines; ++axis)
            require(sameBits(read[axis], (*values)[axis]) && sameBits(read[axis], (*readable)[axis]),
                    "the size reader reads the values the general rules and from_chars read", input);
    }
    return 0;
}
