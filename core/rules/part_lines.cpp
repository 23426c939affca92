#include "core/rules/part_lines.h"

#include "core/rules/number_text.h"

#include <cmath>
#include <optional>

namespace morvane {

namespace {

constexpr std::string_view kSeparator = "\",\"";

// The label of a header whose part name is the file's base name, counted
// from the file name's length as the part files have always been read.
std::optional<std::string_view> labelAfterOwnName(std::string_view header, std::string_view sourceFileName)
{
    if (sourceFileName.size() < 4)
        return std::nullopt;
    const std::string_view baseName = sourceFileName.substr(0, sourceFileName.size() - 4);
    const std::size_t labelStart = sourceFileName.size() + 3;
    if (header.size() < labelStart + 1 || header.back() != '"')
        return std::nullopt;
    if (!header.starts_with("\"\",\"") || header.substr(4, baseName.size()) != baseName
        || header.substr(4 + baseName.size(), kSeparator.size()) != kSeparator)
        return std::nullopt;
    return header.substr(labelStart, header.size() - labelStart - 1);
}

// The text after the second "," up to the closing quote.
std::optional<std::string_view> thirdQuotedField(std::string_view header)
{
    if (header.size() < 2 || header.front() != '"' || header.back() != '"')
        return std::nullopt;
    const std::size_t first = header.find(kSeparator);
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = header.find(kSeparator, first + kSeparator.size());
    if (second == std::string_view::npos)
        return std::nullopt;
    const std::size_t labelStart = second + kSeparator.size();
    if (labelStart > header.size() - 1)
        return std::nullopt;
    return header.substr(labelStart, header.size() - 1 - labelStart);
}

LineError withSubject(std::string_view subject, LineError error)
{
    error.what = std::string(subject) + ' ' + error.what;
    return error;
}

std::expected<double, LineError> readValue(std::string_view field, std::size_t axis)
{
    auto value = parseNumber(field);
    if (!value)
        return std::unexpected(withSubject(axisWords(axis, " value"), std::move(value.error())));
    return value;
}

} // namespace

std::expected<std::string, LineError> rewriteHeaderLine(std::string_view header, std::string_view sourceFileName,
                                                        std::string_view newBaseName)
{
    std::optional<std::string_view> label = labelAfterOwnName(header, sourceFileName);
    if (!label)
        label = thirdQuotedField(header);
    if (!label)
        return std::unexpected(
            LineError{ErrorKind::InvalidArgument, "the header is not of the form \"\",\"name\",\"label\""});
    // A file whose lines end in CR alone reads as one long header; its label
    // would swallow the whole part.
    if (label->find('\r') != std::string_view::npos)
        return std::unexpected(LineError{ErrorKind::InvalidArgument,
                                         "the part label holds a carriage return, as when lines end in CR alone"});
    if (label->size() > kMaxLabelLength)
        return std::unexpected(LineError{ErrorKind::Overflow, "the part label is longer than 32767 characters"});
    std::string out = "\"\",\"";
    out += newBaseName;
    out += "\",";
    if (label->empty()) {
        out += "\"\"";
    } else {
        out += '"';
        out += *label;
        out += "-Resized\"";
    }
    return out;
}

std::expected<CoordinateFields, LineError> splitCoordinateFields(std::string_view line)
{
    if (!line.starts_with("\"\","))
        return std::unexpected(
            LineError{ErrorKind::InvalidArgument, "the line does not begin with \"\", as a coordinate line must"});
    CoordinateFields fields;
    std::string_view rest = line.substr(3);
    std::size_t count = 0;
    while (true) {
        const std::size_t comma = rest.find(',');
        if (count < fields.size())
            fields[count] = rest.substr(0, comma);
        ++count;
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    if (count != fields.size())
        return std::unexpected(LineError{ErrorKind::InvalidArgument,
                                         "the line holds " + std::to_string(count)
                                             + " fields after \"\", where a coordinate line holds 3"});
    return fields;
}

AxisFactors readFactors(const ResizeSettings &settings)
{
    AxisFactors factors;
    const std::array<const std::string *, 3> texts = {&settings.right, &settings.fore, &settings.up};
    for (std::size_t axis = 0; axis < texts.size(); ++axis) {
        auto factor = parseNumber(*texts[axis]);
        if (!factor)
            factor = std::unexpected(withSubject(axisWords(axis, " factor"), std::move(factor.error())));
        factors.factor[axis] = std::move(factor);
    }
    return factors;
}

std::string axisWords(std::size_t axis, const char *what) { return std::string("the ") + kAxisNames[axis] + what; }

void appendWrittenNumber(std::string &out, double value, PrecisionMode precision)
{
    if (const auto rounded = roundHalfEven(value, decimalsFor(precision)))
        appendNumber(out, *rounded);
    else
        appendNumber(out, value);
}

std::expected<std::string, LineError> transformCoordinateLine(std::string_view line, const AxisFactors &factors,
                                                              PrecisionMode precision)
{
    const auto fields = splitCoordinateFields(line);
    if (!fields)
        return std::unexpected(fields.error());
    std::string out = "\"\"";
    for (std::size_t axis = 0; axis < fields->size(); ++axis) {
        const auto &factor = factors.factor[axis];
        if (!factor)
            return std::unexpected(factor.error());
        const auto value = readValue((*fields)[axis], axis);
        if (!value)
            return std::unexpected(value.error());
        const double product = *value * *factor;
        if (!std::isfinite(product))
            return std::unexpected(LineError{ErrorKind::Overflow,
                                             axisWords(axis, " value") + ' ' + quotedForMessage((*fields)[axis])
                                                 + " times its factor is too large for a number"});
        out += ',';
        appendWrittenNumber(out, product, precision);
    }
    return out;
}

std::expected<std::array<double, 3>, LineError> readCoordinateLine(std::string_view line)
{
    const auto fields = splitCoordinateFields(line);
    if (!fields)
        return std::unexpected(fields.error());
    std::array<double, 3> values;
    for (std::size_t axis = 0; axis < fields->size(); ++axis) {
        const auto value = readValue((*fields)[axis], axis);
        if (!value)
            return std::unexpected(value.error());
        values[axis] = *value;
    }
    return values;
}

std::expected<std::string, LineError> transformCoordinateLine(std::string_view line, const ResizeSettings &settings)
{
    return transformCoordinateLine(line, readFactors(settings), settings.precision);
}

} // namespace morvane
