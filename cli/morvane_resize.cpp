// morvane-resize: the resize of the main window for many files at once, or
// from a script. Each FILE is resized by the same runResize, one after the
// other; one that fails does not stop the others.

#include "core/part_file_names.h"
#include "core/resize_run.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

// Resizes one file; prints the new file's path, or the failure.
bool resizeFile(const QByteArray &file, const morvane::ResizeSettings &settings)
{
    // A FILE ending in '/' names no file: it goes to the run whole, which
    // refuses it as no part file.
    const qsizetype slash = file.endsWith('/') ? -1 : file.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : file.left(slash + 1);
    const QByteArray name = file.mid(slash + 1);
    // Unlike the window, which keeps to its one thread, the command may use
    // a second core: it nearly halves the time of a large part.
    const morvane::ResizeOutcome outcome = morvane::runResize(folder, name, settings, {.secondCore = true});
    if (const auto *failed = std::get_if<morvane::Failed>(&outcome)) {
        print(stderr, QByteArray(kProgram) + ": " + file + ": " + reasonFor(failed->error) + '\n');
        return false;
    }
    const QString newPath = QString::fromLatin1(folder + '/' + morvane::newFileNameFor(name));
    print(stdout, QDir::cleanPath(newPath).toLatin1() + '\n');
    return true;
}

// What was printed must have arrived: a full disk or a closed pipe behind
// standard output is a failure like any other.
bool standardOutputWritten()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::fclose(stdout) == 0)
        return true;
    print(stderr, QByteArray(kProgram) + ": write error: " + std::strerror(errno) + '\n');
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
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
        return standardOutputWritten() ? AllCreated : SomeFailed;
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

    bool allCreated = true;
    for (const QString &file : files)
        allCreated = resizeFile(file.toLatin1(), settings) && allCreated;
    if (!standardOutputWritten())
        return SomeFailed;
    return allCreated ? AllCreated : SomeFailed;
}
