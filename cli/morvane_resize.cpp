// morvane-resize: the resize of the main window for many files at once, or
// from a script. Each FILE is turned by the same runResize, one after the
// other; one that fails does not stop the others.

#include "core/resize_run.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

enum ExitStatus { AllCreated = 0, SomeFailed = 1, UsageError = 2 };

int usageError(const QString &error)
{
    QTextStream(stderr) << "morvane-resize: " << error << "\nTry 'morvane-resize --help' for more.\n";
    return UsageError;
}

// Resizes one file; prints the new file's path, or the failure.
bool resizeFile(const QString &file, const morvane::ResizeSettings &settings)
{
    const QFileInfo info(file);
    if (info.fileName().isEmpty()) {
        QTextStream(stderr) << file << ": not a part file (.afp)\n";
        return false;
    }
    const morvane::ResizeOutcome outcome = morvane::runResize(info.path(), info.fileName(), settings);
    if (const auto *created = std::get_if<morvane::Created>(&outcome)) {
        QTextStream(stdout) << QDir::cleanPath(QDir(info.path()).filePath(created->newFileName)) << '\n';
        return true;
    }
    QTextStream(stderr) << file << ": " << morvane::outcomeMessage(outcome) << '\n';
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvane-resize"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Resizes AF99 and AF5 part files: each FILE.afp is written as FILE_new1.afp beside it,\n"
                       "every coordinate multiplied by its axis factor and rounded to the precision.\n"
                       "Prints the path of each new file; failures go to standard error.\n"
                       "Exit status: 0 when every file was created, 1 when any failed, 2 for a usage error."));
    const QCommandLineOption right(QStringLiteral("right"), QStringLiteral("Factor along the RIGHT axis."),
                                   QStringLiteral("TEXT"), QStringLiteral("1.00"));
    const QCommandLineOption fore(QStringLiteral("fore"), QStringLiteral("Factor along the FORE axis."),
                                  QStringLiteral("TEXT"), QStringLiteral("1.00"));
    const QCommandLineOption up(QStringLiteral("up"), QStringLiteral("Factor along the UP axis."),
                                QStringLiteral("TEXT"), QStringLiteral("1.00"));
    const QCommandLineOption precision(QStringLiteral("precision"),
                                       QStringLiteral("AF99 (two decimals) or AF5 (one decimal)."),
                                       QStringLiteral("AF99|AF5"), QStringLiteral("AF99"));
    parser.addOptions({right, fore, up, precision});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Part files to resize."),
                                 QStringLiteral("FILE..."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(AllCreated);
    if (parser.isSet(version))
        parser.showVersion();

    morvane::ResizeSettings settings{parser.value(right).toStdString(), parser.value(fore).toStdString(),
                                     parser.value(up).toStdString(), morvane::PrecisionMode::AF99};
    const QString precisionWord = parser.value(precision);
    if (precisionWord.compare(QLatin1String("AF5"), Qt::CaseInsensitive) == 0)
        settings.precision = morvane::PrecisionMode::AF5;
    else if (precisionWord.compare(QLatin1String("AF99"), Qt::CaseInsensitive) != 0)
        return usageError(QStringLiteral("--precision takes AF99 or AF5, not \"%1\".").arg(precisionWord));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no FILE given."));

    bool allCreated = true;
    for (const QString &file : files)
        allCreated = resizeFile(file, settings) && allCreated;
    return allCreated ? AllCreated : SomeFailed;
}
