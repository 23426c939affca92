#pragma once

// What morvane-resize takes from the command line and gives the console,
// on each system in its own way: bytes on POSIX, UTF-16 text on Windows.

#include "core/system/native_name.h"

#include <QStringList>

#include <cstdio>

namespace console {

// The arguments as the system gave them, each as text that gives back the
// name it holds. Read before Qt, which takes the options it knows from argv.
QStringList arguments(int argc, char *argv[]);

// An argument's text as the name or bytes it holds.
morvane::NativeName fromArgument(const QString &argument);

// The FILEs named by the arguments after the options. Where the shell does
// not expand wildcards (Windows), a FILE with * or ? in its name stands for
// the part files that match, in name order, or for itself where none does.
QList<morvane::NativeName> files(const QStringList &arguments);

// Text for the console, names among it as they are.
morvane::NativeName text(const QString &words);

// Writes `line`: its bytes on POSIX; on Windows to a console as UTF-16, to
// a file or pipe as UTF-8. False where it did not all go.
bool print(std::FILE *stream, const morvane::NativeName &line);

// What is printed fails as a write, never as a signal: a closed pipe or a
// file size limit behind standard output or error ends no resize.
void printingNeverSignals();

// The folder part of `file`, as given, and its name.
qsizetype nameStart(const morvane::NativeName &file);

} // namespace console
