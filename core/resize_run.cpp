#include "core/resize_run.h"

#include "core/buffered_writer.h"
#include "core/line_reader.h"
#include "core/parallel_fast_path.h"
#include "core/part_file_names.h"
#include "core/part_picture.h"
#include "core/part_scan.h"
#include "core/rules/fast_coordinate_line.h"
#include "core/rules/part_lines.h"
#include "core/system/folder_names.h"
#include "core/system/open_folder.h"
#include "core/system/result_destination.h"
#include "core/system/result_file.h"
#include "core/system/source_file.h"

#include <QDir>

#include <expected>
#include <new>
#include <optional>
#include <thread>

namespace morvane {

namespace {

constexpr std::uint64_t kFirstCoordinateLine = 6;
// The settings of a scan, which has no factor to read: a run holds its
// settings by reference.
const ResizeSettings kNoResize;

const char *typeName(FileType type)
{
    switch (type) {
    case FileType::Folder:
        return "folder";
    case FileType::Fifo:
        return "FIFO";
    case FileType::CharacterDevice:
        return "character device";
    case FileType::BlockDevice:
        return "block device";
    case FileType::Socket:
        return "socket";
    default:
        return "special file";
    }
}

class Run {
public:
    // With `scan`, the run reads the part and writes nothing.
    Run(const NativeName &folder, const NativeName &fileName, const ResizeSettings &settings, RunOptions options,
        const QString &twinnedFolder = {}, ScanOptions *scan = nullptr)
        : m_options(std::move(options)),
          m_scan(scan),
          m_twinnedFolder(twinnedFolder),
          m_folderPath(folder),
          m_fileName(fileName),
          m_newName(isPartFileName(fileName) ? newFileNameFor(fileName) : NativeName()),
          m_settings(settings),
          m_shownName(shownName(fileName)),
          m_shownNewName(shownName(m_newName))
    {
    }

    ResizeOutcome run();
    // A scan's outcome, once run() has ended as a run that created nothing.
    ScanOutcome scanned(ResizeOutcome outcome) const;

private:
    ResizeOutcome steps();
    Failed failure(ErrorKind kind, const QString &what, std::optional<std::uint64_t> line = std::nullopt) const
    {
        return Failed{ResizeError{kind, m_shownName, line, what}};
    }
    Failed lineFailure(std::uint64_t line, const LineError &error) const
    {
        return failure(error.kind, wordsOf(error), line);
    }
    // The folder as it was given, never cleaned: with links, "sub/.." need
    // not be the folder the text "." names.
    QString shownFolder() const
    {
        return m_folderPath.isEmpty()
            ? QStringLiteral("the current folder")
            : QStringLiteral("the folder %1").arg(QDir::toNativeSeparators(shownName(m_folderPath)));
    }
    Failed notFound(const OpenFolder *folder) const;
    Failed cannotReplace(const QString &why) const
    {
        return failure(ErrorKind::PermissionDenied,
                       QStringLiteral("%1 cannot be replaced: %2").arg(m_shownNewName, why));
    }
    std::optional<Failed> refusal(const Destination &destination, const Entry &source) const;
    std::optional<Failed> transformLines(LineReader &reader, BufferedWriter *writer);
    bool readFastLines(LineReader &reader, std::uint64_t &lineNumber);
    void include(const double *values);

    RunOptions m_options;
    ScanOptions *m_scan; // none for a resize
    PartSize m_size;
    RunCounts m_counts;
    bool m_stopped = false;
    QString m_twinnedFolder; // a folder path that stands for two folders
    NativeName m_folderPath; // empty for the current folder
    NativeName m_fileName;
    NativeName m_newName;
    const ResizeSettings &m_settings;
    QString m_shownName;
    QString m_shownNewName;
};

// The part, or its folder, not found: none for a folder that could not be
// opened. One that was removed is still open, with no name left.
Failed Run::notFound(const OpenFolder *folder) const
{
    if (!folder)
        return failure(ErrorKind::FileNotFound, QStringLiteral("%1 was not found").arg(shownFolder()));
    if (folder->removed())
        return failure(ErrorKind::FileNotFound, QStringLiteral("%1 no longer exists").arg(shownFolder()));
    return failure(ErrorKind::FileNotFound, QStringLiteral("it was not found in %1").arg(shownFolder()));
}

// Why the new file must not go where its name leads, if it must not.
std::optional<Failed> Run::refusal(const Destination &destination, const Entry &source) const
{
    const auto notThrough = [&](const QString &why) {
        return failure(ErrorKind::PathError,
                       QStringLiteral("will not write through the link %1: %2").arg(m_shownNewName, why));
    };
    const auto typeOfEarlier = [&] { return QLatin1String(typeName(destination.earlier->type)); };
    switch (destination.obstacle) {
    case Obstacle::NotRegular:
        return failure(
            ErrorKind::PathError,
            QStringLiteral("a %1 named %2 is in the way of the new file").arg(typeOfEarlier(), m_shownNewName));
    case Obstacle::LinkOfAnother:
        return notThrough(destination.links == 0 ? QStringLiteral("the link is another user's")
                                                 : QStringLiteral("it leads through another user's link"));
    case Obstacle::LinkToAnother:
        return notThrough(QStringLiteral("it leads to another user's file"));
    case Obstacle::LinkToNothing:
        return notThrough(QStringLiteral("it leads to no file"));
    case Obstacle::LinkToNotRegular:
        return notThrough(QStringLiteral("it leads to a %1, not a part file").arg(typeOfEarlier()));
    case Obstacle::Link:
        return notThrough(QStringLiteral("Morvane follows no link on Windows"));
    case Obstacle::ReadOnly:
        return failure(
            ErrorKind::PermissionDenied,
            QStringLiteral("%1 could not be created: the existing file is not writable").arg(m_shownNewName));
    case Obstacle::OthersInStickyFolder:
        return cannotReplace(
            QStringLiteral("it is another user's file in a folder where only its owner may replace it"));
    case Obstacle::AppendOnly:
        return cannotReplace(QStringLiteral("it is append-only"));
    case Obstacle::Immutable:
        return cannotReplace(QStringLiteral("it is immutable"));
    case Obstacle::None:
        break;
    }
    if (!destination.earlier)
        return std::nullopt;
    // Replacing the part itself would lose it where the part's name leads
    // to the new file's, and does cp's "same file" where it has another.
    if (destination.earlier->identity == source.identity)
        return failure(ErrorKind::PathError,
                       (destination.links > 0 ? QStringLiteral("%1 is a link to the part itself")
                                              : QStringLiteral("%1 is the part itself"))
                           .arg(m_shownNewName));
    if (const auto kept = m_options.keep ? m_options.keep(destination.earlier->identity) : std::nullopt)
        return failure(
            ErrorKind::PathError,
            kept->made
                ? QStringLiteral("will not overwrite just-created %1, made from %2").arg(m_shownNewName, kept->part)
                : QStringLiteral("will not overwrite %1 before %2 is resized").arg(m_shownNewName, kept->part));
    return std::nullopt;
}

// Lines 2 to 5 go through in pieces, never held whole; a scan passes them
// by. False at the end of the source.
bool copyLine(LineReader &reader, BufferedWriter *writer)
{
    std::string_view piece;
    bool lineEnds = false;
    if (!reader.nextPiece(piece, lineEnds))
        return false;
    do {
        if (writer)
            writer->write(piece);
    } while (!lineEnds && reader.nextPiece(piece, lineEnds));
    if (writer)
        writer->write("\r\n");
    return true;
}

// Lines the fast path is given at a time on one core.
constexpr std::size_t kFastBatchLines = 1024;

// Hands on what the fast path took of the reader's window. True when it is
// worth asking again, false when the next line is the general rules'.
bool tookFastLines(LineReader &reader, std::string_view window, const FastProgress &progress, std::uint64_t &lineNumber)
{
    static_assert(LineReader::kReadAhead >= kFastReadAhead, "the fast path reads within the reader's block");
    reader.advance(progress.consumed);
    lineNumber += progress.lines;
    if (progress.lines == kFastBatchLines)
        return true;
    // If less is left than its longest line, the line may go on in the next
    // block.
    return window.size() - progress.consumed < kFastLineLongest && reader.topUp();
}

// Gives the fast path the lines at the front of the reader's window, as
// tookFastLines answers.
bool fastLines(LineReader &reader, BufferedWriter &writer, const std::array<double, 3> &factors, int decimals,
               FastLines transform, ParallelFastPath *parallel, std::uint64_t &lineNumber, RunCounts &counts)
{
    const std::string_view window = reader.window();
    FastProgress progress;
    if (parallel && parallel->shares(window.size())) {
        progress = parallel->run(window, writer);
        ++counts.sharedWindows;
        counts.shared += progress.lines;
        counts.secondCore += parallel->secondCoreLines();
    } else {
        char *out = writer.reserve(kFastBatchLines * kFastLineMax);
        progress =
            transform(window.data(), window.data() + window.size(), factors.data(), decimals, out, kFastBatchLines);
        writer.commit(progress.written);
        counts.fast += progress.lines;
        if (parallel)
            parallel->tookAlone(progress.consumed);
    }
    return tookFastLines(reader, window, progress, lineNumber);
}

void Run::include(const double *values)
{
    m_size.include(values);
    if (m_scan->picture)
        m_scan->picture->add(values);
}

// A scan's fast path: reads the lines at the front of the reader's window,
// as tookFastLines answers.
bool Run::readFastLines(LineReader &reader, std::uint64_t &lineNumber)
{
    double values[3 * kFastBatchLines];
    const std::string_view window = reader.window();
    const FastProgress progress =
        bestFastReader()(window.data(), window.data() + window.size(), values, kFastBatchLines);
    for (std::size_t line = 0; line < progress.lines; ++line)
        include(values + 3 * line);
    return tookFastLines(reader, window, progress, lineNumber);
}

// Writes the transform of every source line, or for a scan (no writer)
// takes in its values; the first line that cannot be transformed ends the
// run.
std::optional<Failed> Run::transformLines(LineReader &reader, BufferedWriter *writer)
{
    std::string_view line;
    const auto endOfSource = [&](std::uint64_t lineNumber) -> std::optional<Failed> {
        if (reader.tooLong())
            return lineFailure(lineNumber,
                               {ErrorKind::Overflow,
                                "the line is longer than 4 MiB, more than any "
                                "part line needs"});
        return std::nullopt;
    };
    if (!reader.next(line))
        return endOfSource(1);
    const auto header = rewriteHeaderLine(line, *headerText(m_fileName), *headerText(m_newName.chopped(4)));
    if (!header)
        return lineFailure(1, header.error());
    if (writer)
        writer->writeLine(*header);
    for (std::uint64_t lineNumber = 2; lineNumber < kFirstCoordinateLine; ++lineNumber)
        if (!copyLine(reader, writer))
            return std::nullopt;

    const AxisFactors factors = readFactors(m_settings);
    const bool factorsRead = factors.factor[0] && factors.factor[1] && factors.factor[2];
    const std::array<double, 3> factorValues = {factorsRead ? *factors.factor[0] : 0,
                                                factorsRead ? *factors.factor[1] : 0,
                                                factorsRead ? *factors.factor[2] : 0};
    const int decimals = decimalsFor(m_settings.precision);
    const FastLines transform = bestFastPath();
    std::optional<ParallelFastPath> parallel;
    if (writer && factorsRead && m_options.secondCore && std::thread::hardware_concurrency() > 1)
        parallel.emplace(transform, factorValues, decimals);
    std::uint64_t lineNumber = kFirstCoordinateLine;
    while (!writer || !writer->failed()) {
        if (!writer) {
            if (m_scan->goOn && !m_scan->goOn(reader.bytesRead())) {
                m_stopped = true;
                return std::nullopt;
            }
            if (readFastLines(reader, lineNumber))
                continue;
        } else if (factorsRead
                   && fastLines(reader, *writer, factorValues, decimals, transform, parallel ? &*parallel : nullptr,
                                lineNumber, m_counts)) {
            continue;
        }
        if (!reader.next(line))
            break;
        if (!writer) {
            const auto values = readCoordinateLine(line);
            if (!values)
                return lineFailure(lineNumber, values.error());
            include(values->data());
        } else {
            const auto transformed = transformCoordinateLine(line, factors, m_settings.precision);
            if (!transformed)
                return lineFailure(lineNumber, transformed.error());
            writer->writeLine(*transformed);
            ++m_counts.general;
        }
        ++lineNumber;
    }
    return endOfSource(lineNumber);
}

// Short of memory, the part fails alone: what the run holds goes on the way
// out, so nothing is left in the folder, and the caller goes on.
ResizeOutcome Run::run()
{
    try {
        return steps();
    } catch (const std::bad_alloc &) {
        return failure(ErrorKind::IoError, QStringLiteral("there was not enough memory for it"));
    }
}

ResizeOutcome Run::steps()
{
    // Whatever is selected: the list shows nothing of such a folder.
    if (!m_twinnedFolder.isEmpty())
        return failure(ErrorKind::PathError,
                       QStringLiteral("the folder %1 cannot be told apart from another whose name reads the same")
                           .arg(QDir::toNativeSeparators(m_twinnedFolder)));
    if (m_fileName.isEmpty())
        return NoFileSelected{};
    if (!isPartFileName(m_fileName))
        return failure(ErrorKind::InvalidArgument, QStringLiteral("it is not a part file (.afp)"));
    // The new name goes into the first line of the new file.
    if (m_fileName.contains('\n') || m_fileName.contains('\r'))
        return failure(ErrorKind::InvalidArgument,
                       QStringLiteral("its name holds a line break, which the first line of the new file cannot hold"));
    if (!headerText(m_newName))
        return failure(ErrorKind::InvalidArgument,
                       QStringLiteral("its name cannot be written in the system's 8-bit code page, as the first line "
                                      "of the new file must be"));

    OpenFolder folder;
    if (const SystemError error = folder.open(m_folderPath))
        return kindOf(error) == ErrorKind::FileNotFound
            ? notFound(nullptr)
            : failure(kindOf(error), QStringLiteral("%1 could not be opened: %2").arg(shownFolder(), errorText(error)));
    Entry found;
    if (const SystemError error = folder.lookUp(m_fileName, found))
        return kindOf(error) == ErrorKind::FileNotFound
            ? notFound(&folder)
            : failure(kindOf(error),
                      QStringLiteral("it could not be looked up in %1: %2").arg(shownFolder(), errorText(error)));
    if (found.type != FileType::Regular)
        return failure(ErrorKind::PathError,
                       QStringLiteral("it is a %1, not a part file").arg(QLatin1String(typeName(found.type))));

    const auto cannotCreate = [&](SystemError error) {
        return failure(kindOf(error),
                       QStringLiteral("%1 could not be created: %2").arg(m_shownNewName, errorText(error)));
    };
    Destination destination;
    if (!m_scan) {
        if (const SystemError error = findDestination(folder, m_newName, destination))
            return cannotCreate(error);
        if (auto refused = refusal(destination, found))
            return *refused;
    }

    const auto changed = [&] { return failure(ErrorKind::IoError, QStringLiteral("it changed while it was read")); };
    SourceFile source;
    if (const SystemError error = source.open(folder, m_fileName, found))
        return error == SourceFile::kTakenOver
            ? changed()
            : failure(kindOf(error), QStringLiteral("it could not be opened for reading: %1").arg(errorText(error)));
    std::optional<ResultFile> result;
    std::optional<BufferedWriter> writer;
    if (!m_scan) {
        if (const SystemError error = result.emplace().create(destination, source))
            return cannotCreate(error);
        writer.emplace(*result);
    }
    LineReader reader(source);
    const auto writeFailure = [&](SystemError error) {
        return failure(kindOf(error), QStringLiteral("writing %1 failed: %2").arg(m_shownNewName, errorText(error)));
    };
    // A line that fails may be a line cut short by a change: then the change
    // is what the user needs to hear of.
    const auto failed = transformLines(reader, writer ? &*writer : nullptr);
    if (m_options.counts)
        *m_options.counts = m_counts;
    if (failed)
        return source.changedSinceOpen() ? changed() : *failed;
    // A scan ends as a run that created nothing.
    if (m_stopped)
        return Created{};
    if (reader.failed())
        return failure(ErrorKind::IoError, QStringLiteral("reading it failed: %1").arg(reader.errorString()));
    if (writer && !writer->flush())
        return writeFailure(result->writeError());
    if (!source.readWhole() || source.changedSinceOpen())
        return changed();
    if (m_scan)
        return Created{};
    // Putting it in place may yet be refused by a rule or a flag the system
    // gave no sign of before.
    if (const SystemError error = result->commit())
        return destination.earlier && kindOf(error) == ErrorKind::PermissionDenied ? cannotReplace(errorText(error))
                                                                                   : writeFailure(error);
    return Created{m_shownNewName, result->identity()};
}

// A part the window shows, by the names the system holds: its folder is
// the one folderPathFor finds and its name the one nameIn finds there. A
// folder whose text stands for two is left for the run to refuse.
struct ResolvedPart {
    NativeName folder;
    NativeName fileName;
    QString twinnedFolder;
};
std::expected<ResolvedPart, Failed> resolved(const ShownPart &part)
{
    const std::optional<NativeName> folder = folderPathFor(part.folder);
    const std::optional<NativeName> fileName = folder ? nameIn(*folder, part.fileName) : nativeName(part.fileName);
    if (!fileName)
        return std::unexpected(
            Failed{ResizeError{ErrorKind::PathError, shownName(part.fileName), std::nullopt,
                               QStringLiteral("it cannot be told apart from another file whose name reads the same")}});
    return ResolvedPart{folder.value_or(NativeName()), *fileName, folder ? QString() : part.folder};
}

} // namespace

ResizeOutcome runResize(const NativeName &folder, const NativeName &fileName, const ResizeSettings &settings,
                        RunOptions options)
{
    return Run(folder, fileName, settings, std::move(options)).run();
}

ScanOutcome Run::scanned(ResizeOutcome outcome) const
{
    if (auto *failed = std::get_if<Failed>(&outcome))
        return std::move(*failed);
    if (std::holds_alternative<NoFileSelected>(outcome))
        return NoFileSelected{};
    if (m_stopped)
        return ScanStopped{};
    return Scanned{m_size};
}

ScanOutcome scanPart(const NativeName &folder, const NativeName &fileName, ScanOptions options)
{
    Run run(folder, fileName, kNoResize, {}, {}, &options);
    return run.scanned(run.run());
}

ResizeOutcome runResize(const ShownPart &part, const ResizeSettings &settings, RunOptions options)
{
    const auto found = resolved(part);
    if (!found)
        return found.error();
    return Run(found->folder, found->fileName, settings, std::move(options), found->twinnedFolder).run();
}

ScanOutcome scanPart(const ShownPart &part, ScanOptions options)
{
    const auto found = resolved(part);
    if (!found)
        return found.error();
    Run run(found->folder, found->fileName, kNoResize, {}, found->twinnedFolder, &options);
    return run.scanned(run.run());
}

} // namespace morvane
