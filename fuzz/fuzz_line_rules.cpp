// libFuzzer target over the line rules. Beyond surviving any input it checks
// what the rules promise: a transformed line is "" and three numbers that
// read back with at most the precision's decimals, never -0; it is the line
// an oracle worked out apart from both number paths gives; the fast path
// agrees with the general rules wherever it answers, in every variant the
// processor runs; a rewritten header keeps its form.

#include "core/rules/fast_coordinate_line.h"
#include "core/rules/number_text.h"
#include "core/rules/part_lines.h"
#include "tests/decimal_oracle.h"

#include <bit>
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
    std::fprintf(stderr, "property broken: %s\ninput: %.*s\n", what, static_cast<int>(input.size()), input.data());
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

// A number as formatNumber writes it, at most `decimals` after the point
// (or an integral value of 10^15 or more written with E+).
void checkWrittenNumber(std::string_view text, int decimals, std::string_view input)
{
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char *>(data), size);
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
    if (factors.factor[0] && factors.factor[1] && factors.factor[2]) {
        const std::array<double, 3> values = {*factors.factor[0], *factors.factor[1], *factors.factor[2]};
        std::array<FastPathVariant, 3> variants;
        std::optional<bool> answered;
        for (std::size_t k = 0; k < availableFastPaths(variants); ++k) {
            char out[kFastLineMax];
            const auto length = fastTransformCoordinateLine(line, values, decimals, out, variants[k].transform);
            require(answered.value_or(length.has_value()) == length.has_value(), "every variant answers alike", input);
            answered = length.has_value();
            if (!length)
                continue;
            require(transformed.has_value(), "the fast path answers only where the general rules do", input);
            require(std::string_view(out, *length) == *transformed + "\r\n", "the fast path agrees", input);
        }
    }
    std::array<FastPathVariant, 3> variants;
    for (std::size_t k = 0; k < availableFastPaths(variants); ++k) {
        const std::string padded = std::string(line) + '\n' + std::string(kFastReadAhead, '\0');
        double read[3];
        if (line.ends_with('\r')
            || variants[k].read(padded.data(), padded.data() + line.size() + 1, read, 1).lines == 0)
            continue;
        const auto values = readCoordinateLine(line);
        require(values.has_value(), "the size reader reads only what the general rules read", input);
        for (std::size_t axis = 0; axis < 3; ++axis)
            require(std::bit_cast<std::uint64_t>(read[axis]) == std::bit_cast<std::uint64_t>((*values)[axis]),
                    "the size reader reads the same values", input);
    }
    return 0;
}
