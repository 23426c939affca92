#include "core/resize_run.h"

#include "core/buffered_writer.h"
#include "core/line_reader.h"
#include "core/parallel_fast_path.h"
#include "core/part_file_names.h"
#include "core/result_file.h"
#include "core/rules/fast_coordinate_line.h"
#include "core/rules/part_lines.h"
#include "core/source_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace morvane {

namespace {

constexpr std::uint64_t kFirstCoordinateLine = 6;

// A descriptor, closed on the way out.
struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int fd;
};

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

bool sameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Where the new file goes: its name in the part's folder, or, where that
// name is a link, the file the link leads to.
struct Destination {
    QByteArray name;
    Descriptor folder{-1};
    bool throughLink = false;
};

// Fills `destination`; 0, or the errno of a path that cannot be followed.
int followLink(int folder, const QByteArray &folderPath, const QByteArray &name, Destination &destination)
{
    struct stat link {};
    char resolved[PATH_MAX];
    if (::fstatat(folder, name.constData(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode)
        || !::realpath((folderPath + '/' + name).constData(), resolved)) {
        destination.name = name;
        destination.folder.fd = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
        return destination.folder.fd < 0 ? errno : 0;
    }
    const QByteArray target(resolved);
    destination.throughLink = true;
    const qsizetype slash = target.lastIndexOf('/');
    destination.name = target.mid(slash + 1);
    destination.folder.fd = ::open(slash == 0 ? "/" : target.left(slash).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return destination.folder.fd < 0 ? errno : 0;
}

class Run {
public:
    Run(const QByteArray &folder, const QByteArray &fileName, const ResizeSettings &settings, RunOptions options)
        : m_options(options),
          m_folderPath(folder.isEmpty() ? QByteArray(".") : folder),
          m_fileName(fileName),
          m_newName(isPartFileName(fileName) ? newFileNameFor(fileName) : QByteArray()),
          m_settings(settings),
          m_shownName(QFile::decodeName(fileName)),
          m_shownNewName(QFile::decodeName(m_newName))
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
    QString shownFolder() const
    {
        return QDir::toNativeSeparators(QDir(QFile::decodeName(m_folderPath)).absolutePath());
    }
    std::optional<Failed> transformLines(LineReader &reader, BufferedWriter &writer) const;

    RunOptions m_options;
    QByteArray m_folderPath;
    QByteArray m_fileName;
    QByteArray m_newName;
    const ResizeSettings &m_settings;
    QString m_shownName;
    QString m_shownNewName;
};

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
    if (parallel && window.size() >= ParallelFastPath::kMinWindow) {
        progress = parallel->run(window, writer);
    } else {
        char *out = writer.reserve(kBatchLines * kFastLineMax);
        progress = transform(window.data(), window.data() + window.size(), factors.data(), decimals, out, kBatchLines);
        writer.commit(progress.written);
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
    if (m_fileName.isEmpty())
        return NoFileSelected{};
    if (!isPartFileName(m_fileName) || m_folderPath.contains('\0'))
        return failure(ErrorKind::InvalidArgument, QStringLiteral("it is not a part file (.afp)"));
    const auto notFound = [&] {
        return failure(ErrorKind::FileNotFound, QStringLiteral("it was not found in %1").arg(shownFolder()));
    };

    const Descriptor folder(::open(m_folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0) {
        const int error = errno;
        return error == ENOENT
            ? notFound()
            : failure(kindOf(error),
                      QStringLiteral("its folder %1 could not be opened: %2").arg(shownFolder(), errorText(error)));
    }
    struct stat found {};
    if (::fstatat(folder.fd, m_fileName.constData(), &found, 0) != 0) {
        const int error = errno;
        return error == ENOENT
            ? notFound()
            : failure(kindOf(error),
                      QStringLiteral("it could not be looked up in %1: %2").arg(shownFolder(), errorText(error)));
    }
    if (S_ISDIR(found.st_mode))
        return failure(ErrorKind::PathError, QStringLiteral("it is a folder, not a part file"));
    if (!S_ISREG(found.st_mode))
        return failure(ErrorKind::PathError,
                       QStringLiteral("it is a %1, not a part file").arg(QLatin1String(fileTypeName(found.st_mode))));

    const auto cannotCreate = [&](int error, const QString &why) {
        return failure(kindOf(error), QStringLiteral("%1 could not be created: %2").arg(m_shownNewName, why));
    };
    Destination destination;
    if (const int error = followLink(folder.fd, m_folderPath, m_newName, destination))
        return cannotCreate(error, errorText(error));
    struct stat earlier {};
    const bool replacing = ::fstatat(destination.folder.fd, destination.name.constData(), &earlier, 0) == 0;
    if (const int error = errno; !replacing && error != ENOENT)
        return cannotCreate(error, errorText(error));
    if (replacing && S_ISDIR(earlier.st_mode))
        return failure(ErrorKind::PathError,
                       QStringLiteral("a folder named %1 is in the way of the new file").arg(m_shownNewName));
    // Writing through a link back to the source would replace the source.
    if (replacing && destination.throughLink && sameFile(earlier, found))
        return failure(ErrorKind::PathError, QStringLiteral("%1 is a link to the part itself").arg(m_shownNewName));
    if (replacing && ::faccessat(destination.folder.fd, destination.name.constData(), W_OK, AT_EACCESS) != 0)
        return cannotCreate(errno, QStringLiteral("the existing file is not writable"));

    const auto changed = [&] { return failure(ErrorKind::IoError, QStringLiteral("it changed while it was read")); };
    ResultFile result;
    if (const int error =
            result.create(destination.folder.fd, replacing ? std::optional(earlier.st_mode & 07777) : std::nullopt))
        return cannotCreate(error, errorText(error));
    SourceFile source;
    if (const int error = source.openAt(folder.fd, m_fileName, found))
        return error == ESTALE
            ? changed()
            : failure(kindOf(error), QStringLiteral("it could not be opened for reading: %1").arg(errorText(error)));

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
    if (const int error = result.commit(destination.name))
        return writeFailure(error);
    return Created{m_shownNewName};
}

} // namespace

ResizeOutcome runResize(const QByteArray &folder, const QByteArray &fileName, const ResizeSettings &settings,
                        RunOptions options)
{
    return Run(folder, fileName, settings, options).run();
}

ResizeOutcome runResize(const QString &folder, const QString &fileName, const ResizeSettings &settings,
                        RunOptions options)
{
    return runResize(QFile::encodeName(folder), QFile::encodeName(fileName), settings, options);
}

} // namespace morvane
