#include "cli/console.h"

#include <csignal>

namespace console {

// Arguments are bytes. Read as Latin-1 they pass through the parser
// unchanged and toLatin1() gives the same bytes back, so a file name that
// is not UTF-8 still names its own file.
QStringList arguments(int argc, char *argv[])
{
    QStringList all;
    for (int i = 0; i < argc; ++i)
        all << QString::fromLatin1(argv[i]);
    return all;
}

morvane::NativeName fromArgument(const QString &argument) { return argument.toLatin1(); }

QList<morvane::NativeName> files(const QStringList &arguments)
{
    QList<morvane::NativeName> named;
    for (const QString &argument : arguments)
        named << fromArgument(argument);
    return named;
}

morvane::NativeName text(const QString &words) { return words.toLocal8Bit(); }

bool print(std::FILE *stream, const morvane::NativeName &line)
{
    return std::fwrite(line.constData(), 1, std::size_t(line.size()), stream) == std::size_t(line.size());
}

void printingNeverSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

// A FILE ending in '/' names no file: it goes to the run whole, which
// refuses it as no part file.
qsizetype nameStart(const morvane::NativeName &file) { return file.endsWith('/') ? 0 : file.lastIndexOf('/') + 1; }

} // namespace console
