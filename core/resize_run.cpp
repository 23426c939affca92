#include "core/resize_run.h"

#include "core/buffered_writer.h"
#include "core/descriptor.h"
#include "core/line_reader.h"
#include "core/parallel_fast_path.h"
#include "core/part_file_names.h"
#include "core/result_destination.h"
#include "core/result_file.h"
#include "core/result_permissions.h"
#include "core/rules/fast_coordinate_line.h"
#include "core/rules/part_lines.h"
#include "core/source_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace morvane {

namespace {

constexpr std::uint64_t kFirstCoordinateLine = 6;

ErrorKind kindOf(int error)
{
    switch (error) {
    case ENOENT:
        return ErrorKind::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ErrorKind::DiskFull;
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
    case EISDIR:
        return ErrorKind::PathError;
    default:
        return ErrorKind::IoError;
    }
}

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

const char *fileTypeName(mode_t mode)
{
    if (S_ISDIR(mode))
        return "folder";
    if (S_ISFIFO(mode))
        return "FIFO";
    if (S_ISCHR(mode))
        return "character device";
    if (S_ISBLK(mode))
        return "block device";
    if (S_ISSOCK(mode))
        return "socket";
    return "special file";
}

class Run {
public:
    Run(const QByteArray &folder, const QByteArray &fileName, const ResizeSettings &settings, RunOptions options,
        const QString &twinnedFolder = {})
        : m_options(std::move(options)),
          m_twinnedFolder(twinnedFolder),
          m_folderGiven(!folder.isEmpty()),
          m_folderPath(m_folderGiven ? folder : QByteArray(".")),
          m_fileName(fileName),
          m_newName(isPartFileName(fileName) ? newFileNameFor(fileName) : QByteArray()),
          m_settings(settings),
          m_shownName(shownName(fileName)),
          m_shownNewName(shownName(m_newName))
    {
    }

    ResizeOutcome run();

private:
    Failed failure(ErrorKind kind, const QString &what, std::optional<std::uint64_t> line = std::nullopt) const
    {
        return Failed{ResizeError{kind, m_shownName, line, what}};
    }
    Failed lineFailure(std::uint64_t line, const LineError &error) const
    {
        // ASCII by construction (see LineError).
        return failure(error.kind, QString::fromStdString(error.what), line);
    }
    // The folder as it was given, never cleaned: with links, "sub/.." need
    // not be the folder the text "." names.
    QString shownFolder() const
    {
        return m_folderGiven
            ? QStringLiteral("the folder %1").arg(QDir::toNativeSeparators(shownName(m_folderPath)))
            : QStringLiteral("the current folder");
    }
    Failed notFound(int folder) const;
    std::optional<Failed> refusal(const Destination &destination, const struct stat &source) const;
    std::optional<Failed> transformLines(LineReader &reader, BufferedWriter &writer) const;

    RunOptions m_options;
    QString m_twinnedFolder; // a folder path that stands for two folders
    bool m_folderGiven;
    QByteArray m_folderPath;
    QByteArray m_fileName;
    QByteArray m_newName;
    const ResizeSettings &m_settings;
    QString m_shownName;
    QString m_shownNewName;
};

// The part, or its folder, not found: -1 for a folder that could not be
// opened. One that was removed is still open, with no name left.
Failed Run::notFound(int folder) const
{
    struct stat info {};
    if (folder < 0)
        return failure(ErrorKind::FileNotFound, QStringLiteral("%1 was not found").arg(shownFolder()));
    if (::fstat(folder, &info) == 0 && info.st_nlink == 0)
        return failure(ErrorKind::FileNotFound, QStringLiteral("%1 no longer exists").arg(shownFolder()));
    return failure(ErrorKind::FileNotFound, QStringLiteral("it was not found in %1").arg(shownFolder()));
}

// Why the new file must not go where its name leads, if it must not.
std::optional<Failed> Run::refusal(const Destination &destination, const struct stat &source) const
{
    const auto notThrough = [&](const QString &why) {
        return failure(ErrorKind::PathError,
                       QStringLiteral("will not write through the link %1: %2").arg(m_shownNewName, why));
    };
    const auto typeOfEarlier = [&] { return QLatin1String(fileTypeName(destination.earlier->st_mode)); };
    switch (destination.obstacle) {
    case Obstacle::NotRegular:
        return failure(ErrorKind::PathError,
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
    case Obstacle::None:
        break;
    }
    if (!destination.earlier)
        return std::nullopt;
    // Writing through a link back to the source would replace the source.
    if (destination.links > 0 && identityOf(*destination.earlier) == identityOf(source))
        return failure(ErrorKind::PathError, QStringLiteral("%1 is a link to the part itself").arg(m_shownNewName));
    if (const auto kept = m_options.keep ? m_options.keep(identityOf(*destination.earlier)) : std::nullopt)
        return failure(ErrorKind::PathError,
                       kept->made ? QStringLiteral("will not overwrite just-created %1, made from %2")
                                        .arg(m_shownNewName, kept->part)
                                  : QStringLiteral("will not overwrite %1 before %2 is resized")
                                        .arg(m_shownNewName, kept->part));
    return std::nullopt;
}

// Lines 2 to 5 go through in pieces, never held whole. False at the end of
// the source.
bool copyLine(LineReader &reader, BufferedWriter &writer)
{
    std::string_view piece;
    bool lineEnds = false;
    if (!reader.nextPiece(piece, lineEnds))
        return false;
    writer.write(piece);
    while (!lineEnds && reader.nextPiece(piece, lineEnds))
        writer.write(piece);
    writer.write("\r\n");
    return true;
}

// Gives the fast path the lines at the front of the reader's window. True
// when it is worth asking again, false when the next line is the general
// rules' to transform.
bool fastLines(LineReader &reader, BufferedWriter &writer, const std::array<double, 3> &factors, int decimals,
               FastLines transform, ParallelFastPath *parallel, std::uint64_t &lineNumber)
{
    static_assert(LineReader::kReadAhead >= kFastReadAhead, "the fast path reads within the reader's block");
    constexpr std::size_t kBatchLines = 1024;
    const std::string_view window = reader.window();
    FastProgress progress;
    if (parallel && parallel->shares(window.size())) {
        progress = parallel->run(window, writer);
    } else {
        char *out = writer.reserve(kBatchLines * kFastLineMax);
        progress = transform(window.data(), window.data() + window.size(), factors.data(), decimals, out, kBatchLines);
        writer.commit(progress.written);
        if (parallel)
            parallel->tookAlone(progress.consumed);
    }
    reader.advance(progress.consumed);
    lineNumber += progress.lines;
    if (progress.lines == kBatchLines)
        return true;
    // Any line of its form is shorter than the read-ahead: if less is left,
    // the line may go on in the next block.
    return window.size() - progress.consumed < kFastReadAhead && reader.topUp();
}

// Writes the transform of every source line; the first line that cannot be
// transformed ends the run.
std::optional<Failed> Run::transformLines(LineReader &reader, BufferedWriter &writer) const
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
    const auto header = rewriteHeaderLine(line, m_fileName.toStdString(), m_newName.chopped(4).toStdString());
    if (!header)
        return lineFailure(1, header.error());
    writer.writeLine(*header);
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
    if (factorsRead && m_options.secondCore && std::thread::hardware_concurrency() > 1)
        parallel.emplace(transform, factorValues, decimals);
    std::uint64_t lineNumber = kFirstCoordinateLine;
    while (!writer.failed()) {
        if (factorsRead
            && fastLines(reader, writer, factorValues, decimals, transform, parallel ? &*parallel : nullptr,
                         lineNumber))
            continue;
        if (!reader.next(line))
            break;
        const auto transformed = transformCoordinateLine(line, factors, m_settings.precision);
        if (!transformed)
            return lineFailure(lineNumber, transformed.error());
        writer.writeLine(*transformed);
        ++lineNumber;
    }
    return endOfSource(lineNumber);
}

ResizeOutcome Run::run()
{
    // Whatever is selected: the list shows nothing of such a folder.
    if (!m_twinnedFolder.isEmpty())
        return failure(ErrorKind::PathError,
                       QStringLiteral("the folder %1 cannot be told apart from another whose name reads the same")
                           .arg(QDir::toNativeSeparators(m_twinnedFolder)));
    if (m_fileName.isEmpty())
        return NoFileSelected{};
    if (!isPartFileName(m_fileName) || m_folderPath.contains('\0'))
        return failure(ErrorKind::InvalidArgument, QStringLiteral("it is not a part file (.afp)"));
    // The new name goes into the first line of the new file.
    if (m_fileName.contains('\n') || m_fileName.contains('\r'))
        return failure(ErrorKind::InvalidArgument,
                       QStringLiteral("its name holds a line break, which the first line of the new file cannot hold"));

    const Descriptor folder(::open(m_folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        const int error = errno;
        return error == ENOENT
            ? notFound(-1)
            : failure(kindOf(error), QStringLiteral("%1 could not be opened: %2").arg(shownFolder(), errorText(error)));
    }
    struct stat found {};
    if (::fstatat(folder.get(), m_fileName.constData(), &found, 0) != 0) {
        const int error = errno;
        return error == ENOENT
            ? notFound(folder.get())
            : failure(kindOf(error),
                      QStringLiteral("it could not be looked up in %1: %2").arg(shownFolder(), errorText(error)));
    }
    if (!S_ISREG(found.st_mode))
        return failure(ErrorKind::PathError,
                       QStringLiteral("it is a %1, not a part file").arg(QLatin1String(fileTypeName(found.st_mode))));

    const auto cannotCreate = [&](int error, const QString &why) {
        return failure(kindOf(error), QStringLiteral("%1 could not be created: %2").arg(m_shownNewName, why));
    };
    Destination destination;
    if (const int error = findDestination(folder.get(), m_newName, destination))
        return cannotCreate(error, errorText(error));
    if (auto refused = refusal(destination, found))
        return *refused;
    const int into = destination.folder.get();
    const QByteArray &name = destination.name;
    if (destination.earlier && ::faccessat(into, name.constData(), W_OK, AT_EACCESS) != 0)
        return cannotCreate(errno, errno == EACCES ? QStringLiteral("the existing file is not writable") : errorText(errno));

    const auto changed = [&] { return failure(ErrorKind::IoError, QStringLiteral("it changed while it was read")); };
    SourceFile source;
    if (const int error = source.openAt(folder.get(), m_fileName, found))
        return error == ESTALE
            ? changed()
            : failure(kindOf(error), QStringLiteral("it could not be opened for reading: %1").arg(errorText(error)));
    mode_t mode = kReplacingResultMode;
    if (!destination.earlier)
        if (const int error = firstResultMode(source.descriptor(), found, mode))
            return cannotCreate(error, errorText(error));
    ResultFile result;
    if (const int error = result.create(into, mode))
        return cannotCreate(error, errorText(error));
    if (const int error = destination.earlier
            ? carryPermissions(result.descriptor(), into, name, *destination.earlier)
            : keepGroup(result.descriptor(), found))
        return cannotCreate(error, errorText(error));

    LineReader reader(source);
    BufferedWriter writer(result);
    const auto writeFailure = [&](int error) {
        return failure(kindOf(error), QStringLiteral("writing %1 failed: %2").arg(m_shownNewName, errorText(error)));
    };
    // A line that fails may be a line cut short by a change: then the change
    // is what the user needs to hear of.
    if (auto failed = transformLines(reader, writer))
        return source.changedSinceOpen() ? changed() : *failed;
    if (reader.failed())
        return failure(ErrorKind::IoError, QStringLiteral("reading it failed: %1").arg(reader.errorString()));
    if (!writer.flush())
        return writeFailure(result.writeError());
    if (!source.readWhole() || source.changedSinceOpen())
        return changed();
    if (const int error = result.commit(name))
        return writeFailure(error);
    return Created{m_shownNewName, result.identity()};
}

} // namespace

ResizeOutcome runResize(const QByteArray &folder, const QByteArray &fileName, const ResizeSettings &settings,
                        RunOptions options)
{
    return Run(folder, fileName, settings, std::move(options)).run();
}

ResizeOutcome runResize(const QString &folder, const QString &fileName, const ResizeSettings &settings,
                        RunOptions options)
{
    const std::optional<QByteArray> folderBytes = folderPathBytes(folder);
    return Run(folderBytes.value_or(QByteArray()), QFile::encodeName(fileName), settings, std::move(options),
               folderBytes ? QString() : folder)
        .run();
}

std::optional<FileIdentity> identityOf(const QByteArray &path)
{
    struct stat file {};
    if (path.contains('\0') || ::stat(path.constData(), &file) != 0)
        return std::nullopt;
    return identityOf(file);
}

} // namespace morvane
