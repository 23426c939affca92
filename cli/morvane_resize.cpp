// morvane-resize: the resize of the main window for many files at once, or
// from a script. Each FILE is resized by the same runResize, one after the
// other; one that fails does not stop the others.

#include "cli/console.h"
#include "core/part_file_names.h"
#include "core/part_scan.h"
#include "core/resize_run.h"
#include "core/rules/part_lines.h"
#include "core/system/standard_streams.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

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

// What each axis's factor is: the text given, the size it is to fit, or
// the factor of the axis it keeps in proportion with.
struct AxisFactor {
    QString text;
    std::optional<QString> fit;
    std::optional<std::size_t> follows;
};
using Factors = std::array<AxisFactor, 3>;

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

void printToError(const NativeName &file, const QString &reason)
{
    // As coreutils name an empty operand.
    const QString shown = file.isEmpty() ? QStringLiteral("''") : morvane::shownName(file);
    console::print(stderr, console::text(QStringLiteral("%1: %2: %3\n").arg(QLatin1String(kProgram), shown, reason)));
}

// A part's size, or the failure printed; none for an empty name.
std::optional<morvane::PartSize> scannedSize(const NativeName &file)
{
    const qsizetype start = console::nameStart(file);
    const morvane::ScanOutcome outcome = morvane::scanPart(file.left(start), file.mid(start));
    if (const auto *failed = std::get_if<morvane::Failed>(&outcome)) {
        printToError(file, morvane::failureReason(failed->error));
        return std::nullopt;
    }
    if (!std::holds_alternative<morvane::Scanned>(outcome)) {
        printToError(file, QStringLiteral("an empty name names no file"));
        return std::nullopt;
    }
    return std::get<morvane::Scanned>(outcome).size;
}

// Prints the part's path as given and its RIGHT, FORE and UP sizes.
bool printSize(const NativeName &file, morvane::PrecisionMode precision)
{
    const auto size = scannedSize(file);
    if (!size)
        return false;
    QString sizes;
    for (std::size_t axis = 0; axis < size->axes.size(); ++axis) {
        const auto length = morvane::axisSize(size->axes[axis], axis);
        if (!length) {
            printToError(file, morvane::wordsOf(length.error()));
            return false;
        }
        sizes += QLatin1Char('\t') + QString::fromStdString(morvane::writtenNumber(*length, precision));
    }
    console::print(stdout, file + console::text(sizes + QLatin1Char('\n')));
    return true;
}

// The factors for the part: those given, and those that fit its size.
// Where any was fitted, says which on standard error, whose words a user
// can give again; standard output keeps one path per line.
std::optional<morvane::ResizeSettings> settingsFor(const NativeName &file, const Factors &factors,
                                                   morvane::PrecisionMode precision)
{
    std::array<std::string, 3> texts;
    std::optional<morvane::PartSize> size;
    for (std::size_t axis = 0; axis < factors.size(); ++axis) {
        if (factors[axis].follows)
            continue;
        if (!factors[axis].fit) {
            texts[axis] = console::fromArgument(factors[axis].text).toStdString();
            continue;
        }
        if (!size && !(size = scannedSize(file)))
            return std::nullopt;
        if (size->lines == 0) {
            printToError(file, QStringLiteral("it has no coordinate lines, so no size to fit"));
            return std::nullopt;
        }
        const auto fitted = morvane::fittedFactor(console::fromArgument(*factors[axis].fit).toStdString(),
                                                  size->axes[axis], axis, false);
        if (!fitted) {
            printToError(file, morvane::wordsOf(fitted.error()));
            return std::nullopt;
        }
        texts[axis] = *fitted;
    }
    for (std::size_t axis = 0; axis < factors.size(); ++axis)
        if (factors[axis].follows)
            texts[axis] = texts[*factors[axis].follows];
    if (size)
        printToError(file,
                     QStringLiteral("factors --right %1 --fore %2 --up %3")
                         .arg(QString::fromStdString(texts[0]), QString::fromStdString(texts[1]),
                              QString::fromStdString(texts[2])));
    return morvane::ResizeSettings{texts[0], texts[1], texts[2], precision};
}

// Resizes the file at `at`; prints the new file's path, or the failure.
bool resizeFile(Batch &batch, const NativeName &file, int at, const Factors &factors, morvane::PrecisionMode precision)
{
    const auto settings = settingsFor(file, factors, precision);
    if (!settings)
        return false;
    const qsizetype start = console::nameStart(file);
    const NativeName folder = file.left(start);
    const NativeName name = file.mid(start);
    morvane::RunOptions options;
    // Unlike the window, which keeps to its one thread, the command may use
    // a second core: it nearly halves the time of a large part.
    options.secondCore = true;
    options.keep = [&batch, at](const morvane::FileIdentity &result) { return batch.kept(result, at); };
    const morvane::ResizeOutcome outcome = morvane::runResize(folder, name, *settings, std::move(options));
    if (const auto *failed = std::get_if<morvane::Failed>(&outcome)) {
        printToError(file, morvane::failureReason(failed->error));
        return false;
    }
    if (!std::holds_alternative<morvane::Created>(outcome)) {
        printToError(file, QStringLiteral("an empty name names no file"));
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
                       "A --fit-... option resizes to a size instead: the factor is LENGTH / the part's size\n"
                       "along that axis, and the factors used go to standard error. --size writes no file.\n"
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
    const std::array<QCommandLineOption, 3> fits = {
        QCommandLineOption(QStringLiteral("fit-right"), QStringLiteral("Resize to this size along RIGHT."),
                           QStringLiteral("LENGTH")),
        QCommandLineOption(QStringLiteral("fit-fore"), QStringLiteral("Resize to this size along FORE."),
                           QStringLiteral("LENGTH")),
        QCommandLineOption(QStringLiteral("fit-up"), QStringLiteral("Resize to this size along UP."),
                           QStringLiteral("LENGTH")),
    };
    const QCommandLineOption keepProportions(
        QStringLiteral("keep-proportions"),
        QStringLiteral("With one --fit-..., the factor that fits that axis scales all three."));
    const QCommandLineOption size(
        QStringLiteral("size"),
        QStringLiteral("Write no file: print each FILE as given and its RIGHT, FORE and UP sizes, tab-separated."));
    parser.addOptions({right, fore, up, fits[0], fits[1], fits[2], keepProportions, precision, size});
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

    const std::array<const QCommandLineOption *, 3> givenFactors = {&right, &fore, &up};
    Factors factors;
    std::optional<std::size_t> fitted;
    for (std::size_t axis = 0; axis < factors.size(); ++axis) {
        // values() gives the default of an option not set.
        const qsizetype given = (parser.isSet(*givenFactors[axis]) ? parser.values(*givenFactors[axis]).size() : 0)
            + parser.values(fits[axis]).size();
        if (given > 1)
            return usageError(
                QStringLiteral("the %1 factor is given more than once.").arg(QLatin1String(morvane::kAxisNames[axis])));
        factors[axis].text = parser.value(*givenFactors[axis]);
        if (parser.isSet(fits[axis])) {
            factors[axis].fit = parser.value(fits[axis]);
            // Words that hold for every part: a length of 1 fits any size.
            if (const auto fit =
                    morvane::fittedFactor(console::fromArgument(*factors[axis].fit).toStdString(), {0, 1}, axis, false);
                !fit)
                return usageError(morvane::wordsOf(fit.error()) + QLatin1Char('.'));
            fitted = fitted ? factors.size() : axis; // past the end: more than one
        }
    }
    if (parser.isSet(keepProportions)) {
        if (!fitted || *fitted == factors.size())
            return usageError(QStringLiteral("--keep-proportions takes one --fit-right, --fit-fore or --fit-up."));
        for (std::size_t axis = 0; axis < factors.size(); ++axis) {
            if (axis == *fitted)
                continue;
            if (parser.isSet(*givenFactors[axis]))
                return usageError(QStringLiteral("the %1 factor is given more than once: --keep-proportions sets it.")
                                      .arg(QLatin1String(morvane::kAxisNames[axis])));
            factors[axis].follows = *fitted;
        }
    }
    if (parser.isSet(size) && (fitted || parser.isSet(right) || parser.isSet(fore) || parser.isSet(up)))
        return usageError(QStringLiteral("--size writes no file: it takes no factor or size to fit."));
    morvane::PrecisionMode precisionMode = defaults.precision;
    const QString precisionWord = parser.value(precision);
    if (precisionWord.compare(QLatin1String("AF5"), Qt::CaseInsensitive) == 0)
        precisionMode = morvane::PrecisionMode::AF5;
    else if (precisionWord.compare(QLatin1String("AF99"), Qt::CaseInsensitive) == 0)
        precisionMode = morvane::PrecisionMode::AF99;
    else
        return usageError(
            QStringLiteral("--precision takes AF99 or AF5, not \"%1\".").arg(shownArgument(precisionWord)));
    const QList<NativeName> files = console::files(parser.positionalArguments());
    if (files.isEmpty())
        return usageError(QStringLiteral("no FILE given."));

    Batch batch(files);
    bool allCreated = true;
    for (int at = 0; at < files.size(); ++at)
        allCreated = (parser.isSet(size) ? printSize(files[at], precisionMode)
                                         : resizeFile(batch, files[at], at, factors, precisionMode))
            && allCreated;
    if (!standardOutputWritten(closed.output))
        return SomeFailed;
    return allCreated ? AllCreated : SomeFailed;
}
