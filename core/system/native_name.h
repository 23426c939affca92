#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

namespace morvane {

// A file or folder name as the system holds it: bytes on POSIX, which need
// not be text at all; UTF-16 on Windows.
#ifdef _WIN32
using NativeName = QString;
#else
using NativeName = QByteArray;
#endif

// A name given as text, as the system takes it.
NativeName nativeName(const QString &text);

// A name of a file in a folder: not empty, no folder separator, no NUL.
bool isPlainName(const NativeName &name);

// A name as the header of a part holds it: 8-bit text, the bytes themselves
// on POSIX, the system's ANSI code page on Windows; nothing for a name that
// code page cannot hold.
std::optional<std::string> headerText(const NativeName &name);

} // namespace morvane
