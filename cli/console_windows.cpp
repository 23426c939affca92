#include "cli/console.h"

#include "core/part_file_names.h"

#include <QDir>

#include <windows.h>

#include <shellapi.h>

namespace console {

// The wide command line as Windows gave it: every name Windows allows, as
// it is, where argv holds it in the ANSI code page.
QStringList arguments(int, char *[])
{
    int count = 0;
    wchar_t **const wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    QStringList all;
    for (int i = 0; wide && i < count; ++i)
        all << QString::fromWCharArray(wide[i]);
    ::LocalFree(wide);
    return all;
}

morvane::NativeName fromArgument(const QString &argument) { return argument; }

QList<morvane::NativeName> files(const QStringList &arguments)
{
    QList<morvane::NativeName> named;
    for (const QString &argument : arguments) {
        const qsizetype start = nameStart(argument);
        const QString pattern = argument.mid(start);
        QStringList matches;
        if (pattern.contains(u'*') || pattern.contains(u'?')) {
            QDir folder(start == 0 ? QStringLiteral(".") : argument.left(start));
            for (const QString &name : folder.entryList({pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase))
                matches << argument.left(start) + name;
        }
        named << (matches.isEmpty() ? QStringList{argument} : matches);
    }
    return named;
}

morvane::NativeName text(const QString &words) { return words; }

bool print(std::FILE *stream, const morvane::NativeName &line)
{
    const HANDLE handle = ::GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        DWORD written = 0;
        return ::WriteConsoleW(handle, line.utf16(), DWORD(line.size()), &written, nullptr)
            && written == DWORD(line.size());
    }
    const QByteArray bytes = line.toUtf8();
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) == std::size_t(bytes.size());
}

// A closed pipe is a failed write on Windows, and there is no size limit.
void printingNeverSignals() {}

qsizetype nameStart(const morvane::NativeName &file)
{
    if (file.endsWith(u'/') || file.endsWith(u'\\'))
        return 0;
    return std::max<qsizetype>({file.lastIndexOf(u'/'), file.lastIndexOf(u'\\'), file.indexOf(u':') == 1 ? 1 : -1}) + 1;
}

} // namespace console
