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
// line number, which only the run knows. It is ASCII: text from the file
// enters it only through quotedForMessage, so turning it into a QString
// (as UTF-8) can never garble it.
struct LineError {
    ErrorKind kind;
    std::string what;
};

// Quotes a piece of a part file for an error message: control and non-ASCII
// bytes become \xHH and a long text is cut, so a binary file cannot flood
// the message box.
std::string quotedForMessage(std::string_view text);

} // namespace morvane
