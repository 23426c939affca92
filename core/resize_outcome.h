#pragma once

#include "core/rules/line_error.h"
#include "core/system/file_identity.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace morvane {

struct ResizeError {
    ErrorKind kind;
    QString fileName; // the part file being resized
    std::optional<std::uint64_t> line; // the line the run stopped on, if any
    QString what; // plain words, no trailing full stop
};

struct NoFileSelected {};
struct Created {
    QString newFileName;
    FileIdentity file; // the new file, wherever its name led
};
struct Failed {
    ResizeError error;
};

using ResizeOutcome = std::variant<NoFileSelected, Created, Failed>;

// The words of a line rule's failure, as text: UTF-8 by construction (see
// LineError), so never garbled.
inline QString wordsOf(const LineError &error) { return QString::fromStdString(error.what); }

// Why a part failed, without its name: "line 7: " and the words.
QString failureReason(const ResizeError &error);

// The text shown to the user. The completion message keeps its spaces and
// its two bare carriage returns.
QString outcomeMessage(const ResizeOutcome &outcome);

} // namespace morvane
