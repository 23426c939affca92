#pragma once

#include <string>
#include <string_view>

namespace morvane {

enum class ErrorKind {
    FileNotFound,
    PermissionDenied,
    PathError,
    InvalidArgument,
    Overflow,
    TypeMismatch,
    DiskFull,
    IoError,
};

// Why one line could not be transformed; `what` is plain words without the
// line number, which only the run knows. It is valid UTF-8: text from the
// file or the command line enters it only through quotedForMessage, so
// turning it into a QString (as UTF-8) can never garble it.
struct LineError {
    ErrorKind kind;
    std::string what;
};

// Quotes a piece of a part file or a factor for an error message, shown as
// shownText shows it, and cut after 40 characters so that a binary file
// cannot flood the message box.
std::string quotedForMessage(std::string_view text);

} // namespace morvane
