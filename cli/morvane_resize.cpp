// morvane-resize: the resize of the main window for many files at once, or
// from a script. Each FILE is resized by the same runResize, one after the
// other; one that fails does not stop the others.

#include "cli/console.h"
#include "core/part_file_names.h"
#include "core/resize_run.h"
#include "core/system/standard_streams.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

enum ExitStatus { AllCreated = 0, SomeFailed = 1, UsageError = 2 };

constexpr char kProgram[] = "morvane-resize";

using morvane::NativeName;

int usageError(const QString &error)
{
    console::print(
        stderr,
        console::text(
            QStringLiteral("%1: %2\nTry 'morvane-resize --help' for more.\n").arg(QLatin1String(kProgram), error)));
    return UsageError;
}

// An argument, or Qt's words about one, as a message shows it.
QString shownArgument(const QString &argument) { return morvane::shownName(console::fromArgument(argument)); }

// What one call leaves alone: the results it has made, and the parts it
// has yet to read. Files, not names: two names of one file are one file.
class Batch {
public:
    explicit Batch(const QList<NativeName> &files) : m_files(files)
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
    QList<NativeName> m_files;
    std::map<morvane::FileIdentity, int> m_lastRead;
    std::map<morvane::FileIdentity, int> m_made;
};

void printFailure(const NativeName &file, const QString &reason)
{
    // As coreutils name an empty operand.
    const QString shown = file.isEmpty() ? QStringLiteral("''") : morvane::shownName(file);
    console::print(stderr, console::text(QStringLiteral("%1: %2: %3\n").arg(QLatin1String(kProgram), shown, reason)));
}

// Resizes the file at `at`; prints the new file's path, or the failure.
bool resizeFile(Batch &batch, const NativeName &file, int at, const morvane::ResizeSettings &settings)
{
    const qsizetype start = console::nameStart(file);
    const NativeName folder = file.left(start);
    const NativeName name = file.mid(start);
    morvane::RunOptions options;
    // Unlike the window, which keeps to its one thread, the command may use
    // a second core: it nearly halves the time of a large part.
    options.secondCore = true;
    options.keep = [&batch, at](const morvane::FileIdentity &result) { return batch.kept(result, at); };
    const morvane::ResizeOutcome outcome = morvane::runResize(folder, name, settings, std::move(options));
    if (const auto *failed = std::get_if<morvane::Failed>(&outcome)) {
        printFailure(file, morvane::failureReason(failed->error));
        return false;
    }
    if (!std::holds_alternative<morvane::Created>(outcome)) {
        printFailure(file, QStringLiteral("an empty name names no file"));
        return false;
    }
    batch.made(std::get<morvane::Created>(outcome).file, at);
    // The folder as given: cleaned as text, "sub/.." need not name the
    // folder the kernel went to.
    console::print(stdout, folder + morvane::newFileNameFor(name) + '\n');
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
    console::print(stderr,
                   console::text(QStringLiteral("%1: write error: %2\n")
                                     .arg(QLatin1String(kProgram), QString::fromLocal8Bit(std::strerror(errno)))));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    const morvane::ClosedStreams closed = morvane::claimStandardStreams();
    console::printingNeverSignals();
    // The command line as the system gave it. Qt is given none of it: it
    // would take the options it knows (-qmljsdebugger and others) for itself,
    // even after "--", and the command reads no option of Qt's.
    const QStringList arguments = console::arguments(argc, argv);
    int programOnly = 1;
    QCoreApplication app(programOnly, argv);
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
    // --help-all is Qt's help with the options of Qt, which the command takes
    // none of: here it is --help.
    QStringList helpNames{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("help-all")};
#ifdef Q_OS_WIN
    helpNames.prepend(QStringLiteral("?")); // as Qt's own help option has it there
#endif
    const QCommandLineOption help(helpNames, QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(arguments))
        return usageError(shownArgument(parser.errorText()));
    if (parser.isSet(help) || parser.isSet(version)) {
        console::print(stdout,
                       console::text(parser.isSet(help) ? parser.helpText()
                                                        : QStringLiteral("%1 %2\n").arg(
                                                            QLatin1String(kProgram), QLatin1String(MORVANE_VERSION))));
        return standardOutputWritten(closed.output) ? AllCreated : SomeFailed;
    }

    const auto factor = [&](const QCommandLineOption &option) {
        return console::fromArgument(parser.value(option)).toStdString();
    };
    morvane::ResizeSettings settings{factor(right), factor(fore), factor(up), defaults.precision};
    const QString precisionWord = parser.value(precision);
    if (precisionWord.compare(QLatin1String("AF5"), Qt::CaseInsensitive) == 0)
        settings.precision = morvane::PrecisionMode::AF5;
    else if (precisionWord.compare(QLatin1String("AF99"), Qt::CaseInsensitive) == 0)
        settings.precision = morvane::PrecisionMode::AF99;
    else
        return usageError(
            QStringLiteral("--precision takes AF99 or AF5, not \"%1\".").arg(shownArgument(precisionWord)));
    const QList<NativeName> files = console::files(parser.positionalArguments());
    if (files.isEmpty())
        return usageError(QStringLiteral("no FILE given."));

    Batch batch(files);
    bool allCreated = true;
    for (int at = 0; at < files.size(); ++at)
        allCreated = resizeFile(batch, files[at], at, settings) && allCreated;
    if (!standardOutputWritten(closed.output))
        return SomeFailed;
    return allCreated ? AllCreated : SomeFailed;
}
