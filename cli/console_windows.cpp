#include "cli/console.h"

#include "core/part_file_names.h"
#include "core/system/windows/handle.h"

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

namespace {

// The dots and spaces at the end of a name go, as in every Windows program
// (wing.afp. is wing.afp), but in a \\?\ path, taken as it is; "." and
// ".." stay what they are.
QString withoutTrailingDots(const QString &folder, const QString &name)
{
    if (folder.startsWith(u"\\\\?\\"))
        return name;
    qsizetype end = name.size();
    while (end > 0 && (name[end - 1] == u'.' || name[end - 1] == u' '))
        --end;
    return name.left(end).count(u'.') < end ? name.left(end) : name;
}

// A short name (WING~3QQ.AFP) stands for the file's long name, which the
// new file's name and first line are made from; any other name, in
// whatever letter case, stays as given.
QString longName(const QString &folder, const QString &name)
{
    // A pattern that matched nothing may match files here, but never as
    // their short name.
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(morvane::inFolder(morvane::longPath(folder), name).c_str(),
                                             FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return name;
    ::FindClose(search);
    const bool shortName = QString::fromWCharArray(found.cAlternateFileName).compare(name, Qt::CaseInsensitive) == 0;
    return shortName ? QString::fromWCharArray(found.cFileName) : name;
}

} // namespace

QList<morvane::NativeName> files(const QStringList &arguments)
{
    QList<morvane::NativeName> named;
    for (const QString &argument : arguments) {
        const qsizetype start = nameStart(argument);
        const QString folder = argument.left(start);
        const QString pattern = argument.mid(start);
        QStringList matches;
        if (pattern.contains(u'*') || pattern.contains(u'?')) {
            QDir listed(start == 0 ? QStringLiteral(".") : folder);
            for (const QString &name : listed.entryList({pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase))
                matches << folder + name;
        }
        named << (matches.isEmpty() ? QStringList{folder + longName(folder, withoutTrailingDots(folder, pattern))}
                                    : matches);
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
