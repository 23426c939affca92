// morvane-resize: the resize of the main window for many files at once, or
// from a script. Each FILE is resized by the same runResize, one after the
// other; one that fails does not stop the others.

#include "core/part_file_names.h"
#include "core/resize_run.h"
#include "core/system/standard_streams.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

enum ExitStatus { AllCreated = 0, SomeFailed = 1, UsageError = 2 };

constexpr char kProgram[] = "morvane-resize";

// Arguments are bytes. Read as Latin-1 they pass through the parser
// unchanged and toLatin1() gives the same bytes back, so a file name that
// is not UTF-8 still names its own file.
QStringList argumentsAsBytes(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLatin1(argv[i]);
    return arguments;
}

void print(std::FILE *stream, const QByteArray &text) { std::fwrite(text.constData(), 1, size_t(text.size()), stream); }

int usageError(const QString &error)
{
    print(stderr, QByteArray(kProgram) + ": " + error.toLatin1() + "\nTry 'morvane-resize --help' for more.\n");
    return UsageError;
}

QByteArray reasonFor(const morvane::ResizeError &error)
{
    QString reason = error.what;
    if (error.line)
        reason.prepend(QStringLiteral("line %1: ").arg(*error.line));
    return reason.toLocal8Bit();
}

// What one call leaves alone: the results it has made, and the parts it
// has yet to read. Files, not names: two names of one file are one file.
class Batch {
public:
    explicit Batch(const QList<QByteArray> &files) : m_files(files)
    {
        for (int at = 0; at < files.size(); ++at)
            if (const auto file = morvane::identityOf(files[at]))
                m_lastRead[*file] = at;
    }

    // Why the part at `current` must not replace `file`, if it must not.
    std::optional<morvane::KeptFile> kept(const morvane::FileIdentity &file, int current) const
    {
        if (const auto made = m_made.find(file); made != m_made.end())
            return morvane::KeptFile{morvane::shownName(m_files[made->second]), true};
        if (const auto read = m_lastRead.find(file); read != m_lastRead.end() && read->second > current)
            return morvane::KeptFile{morvane::shownName(m_files[read->second]), false};
        return std::nullopt;
    }
    void made(const morvane::FileIdentity &file, int from) { m_made[file] = from; }

private:
    QList<QByteArray> m_files;
    std::map<morvane::FileIdentity, int> m_lastRead;
    std::map<morvane::FileIdentity, int> m_made;
};

void printFailure(const QByteArray &file, const QByteArray &reason)
{
    // As coreutils name an empty operand.
    const QByteArray shown = file.isEmpty() ? "''" : morvane::shownName(file).toLocal8Bit();
    print(stderr, QByteArray(kProgram) + ": " + shown + ": " + reason + '\n');
}

// Resizes the file at `at`; prints the new file's path, or the failure.
bool resizeFile(Batch &batch, const QByteArray &file, int at, const morvane::ResizeSettings &settings)
{
    // A FILE ending in '/' names no file: it goes to the run whole, which
    // refuses it as no part file.
    const qsizetype slash = file.endsWith('/') ? -1 : file.lastIndexOf('/');
    const QByteArray folder = file.left(slash + 1);
    const QByteArray name = file.mid(slash + 1);
    morvane::RunOptions options;
    // Unlike the window, which keeps to its one thread, the command may use
    // a second core: it nearly halves the time of a large part.
    options.secondCore = true;
    options.keep = [&batch, at](const morvane::FileIdentity &result) { return batch.kept(result, at); };
    const morvane::ResizeOutcome outcome = morvane::runResize(folder, name, settings, std::move(options));
    if (const auto *failed = std::get_if<morvane::Failed>(&outcome)) {
        printFailure(file, reasonFor(failed->error));
        return false;
    }
    if (!std::holds_alternative<morvane::Created>(outcome)) {
        printFailure(file, "an empty name names no file");
        return false;
    }
    batch.made(std::get<morvane::Created>(outcome).file, at);
    // The folder as given: cleaned as text, "sub/.." need not name the
    // folder the kernel went to.
    print(stdout, folder + morvane::newFileNameFor(name) + '\n');
    return true;
}

// What was printed must have arrived: a full disk, a closed pipe or a
// closed standard output is a failure like any other.
bool standardOutputWritten(bool closed)
{
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout) && std::fclose(stdout) == 0;
    if (closed)
        errno = EBADF;
    if (written && !closed)
        return true;
    print(stderr, QByteArray(kProgram) + ": write error: " + std::strerror(errno) + '\n');
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    const morvane::ClosedStreams closed = morvane::claimStandardStreams();
    // What is printed fails as a write, never as a signal: a closed pipe or
    // a file size limit behind standard output or error ends no resize, and
    // is reported where it can be.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(kProgram));

    const morvane::ResizeSettings defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Resizes AF99 and AF5 part files: each FILE.afp is written as FILE_new1.afp beside it,\n"
                       "every coordinate multiplied by its axis factor and rounded to the precision.\n"
                       "Prints the path of each new file; failures go to standard error.\n"
                       "Exit status: 0 when every file was created, 1 when any failed, 2 for a usage error."));
    const QCommandLineOption right(QStringLiteral("right"), QStringLiteral("Factor along the RIGHT axis."),
                                   QStringLiteral("TEXT"), QString::fromStdString(defaults.right));
    const QCommandLineOption fore(QStringLiteral("fore"), QStringLiteral("Factor along the FORE axis."),
                                  QStringLiteral("TEXT"), QString::fromStdString(defaults.fore));
    const QCommandLineOption up(QStringLiteral("up"), QStringLiteral("Factor along the UP axis."),
                                QStringLiteral("TEXT"), QString::fromStdString(defaults.up));
    const QCommandLineOption precision(
        QStringLiteral("precision"), QStringLiteral("AF99 (two decimals) or AF5 (one decimal)."),
        QStringLiteral("AF99|AF5"),
        defaults.precision == morvane::PrecisionMode::AF5 ? QStringLiteral("AF5") : QStringLiteral("AF99"));
    parser.addOptions({right, fore, up, precision});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Part files to resize."),
                                 QStringLiteral("FILE..."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(argumentsAsBytes(argc, argv)))
        return usageError(parser.errorText());
    if (parser.isSet(help) || parser.isSet(version)) {
        print(stdout,
              parser.isSet(help) ? parser.helpText().toLatin1() : QByteArray(kProgram) + ' ' + MORVANE_VERSION + '\n');
        return standardOutputWritten(closed.output) ? AllCreated : SomeFailed;
    }

    morvane::ResizeSettings settings{parser.value(right).toLatin1().toStdString(),
                                     parser.value(fore).toLatin1().toStdString(),
                                     parser.value(up).toLatin1().toStdString(), defaults.precision};
    const QString precisionWord = parser.value(precision);
    if (precisionWord.compare(QLatin1String("AF5"), Qt::CaseInsensitive) == 0)
        settings.precision = morvane::PrecisionMode::AF5;
    else if (precisionWord.compare(QLatin1String("AF99"), Qt::CaseInsensitive) == 0)
        settings.precision = morvane::PrecisionMode::AF99;
    else
        return usageError(QStringLiteral("--precision takes AF99 or AF5, not \"%1\".").arg(precisionWord));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no FILE given."));

    QList<QByteArray> bytes;
    for (const QString &file : files)
        bytes << file.toLatin1();
    Batch batch(bytes);
    bool allCreated = true;
    for (int at = 0; at < bytes.size(); ++at)
        allCreated = resizeFile(batch, bytes[at], at, settings) && allCreated;
    if (!standardOutputWritten(closed.output))
        return SomeFailed;
    return allCreated ? AllCreated : SomeFailed;
}
