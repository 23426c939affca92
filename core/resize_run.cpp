#include "core/resize_run.h"

#include "core/buffered_writer.h"
#include "core/line_reader.h"
#include "core/rules/fast_coordinate_line.h"
#include "core/rules/part_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace morvane {

namespace {

constexpr std::uint64_t kFirstCoordinateLine = 6;

Failed failure(ErrorKind kind, const QString &fileName, const QString &what,
               std::optional<std::uint64_t> line = std::nullopt)
{
    return Failed{ResizeError{kind, fileName, line, what}};
}

Failed lineFailure(const QString &fileName, std::uint64_t line, const LineError &error)
{
    return failure(error.kind, fileName, QString::fromStdString(error.what), line);
}

bool isPartFileName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".afp"), Qt::CaseInsensitive) && !fileName.contains(QLatin1Char('/'));
}

ErrorKind kindOfCreateError(const QFileInfo &target)
{
    if (!QFileInfo(target.absolutePath()).isWritable() || (target.exists() && !target.isWritable()))
        return ErrorKind::PermissionDenied;
    return ErrorKind::IoError;
}

ErrorKind kindOfWriteError(const QFileDevice &file)
{
    // Qt reports a full disk as a resource error.
    return file.error() == QFileDevice::ResourceError ? ErrorKind::DiskFull : ErrorKind::IoError;
}

// Writes the turn of every source line; the first line that cannot be
// turned ends the run.
std::optional<Failed> turnLines(LineReader &reader, BufferedWriter &writer, const QString &fileName,
                                const QString &newName, const ResizeSettings &settings)
{
    const std::string sourceName = QFile::encodeName(fileName).toStdString();
    const std::string newBaseName = QFile::encodeName(newName.left(newName.size() - 4)).toStdString();
    const AxisFactors factors = readFactors(settings);
    const bool factorsRead = factors.factor[0] && factors.factor[1] && factors.factor[2];
    const std::array<double, 3> factorValues = {factorsRead ? *factors.factor[0] : 0,
                                                factorsRead ? *factors.factor[1] : 0,
                                                factorsRead ? *factors.factor[2] : 0};
    const int decimals = decimalsFor(settings.precision);

    std::uint64_t lineNumber = 0;
    std::string_view line;
    while (!writer.failed() && reader.next(line)) {
        ++lineNumber;
        if (lineNumber >= kFirstCoordinateLine) {
            if (factorsRead) {
                char *out = writer.reserve(kFastLineMax);
                if (const auto length = fastTransformCoordinateLine(line, factorValues, decimals, out)) {
                    writer.commit(*length);
                    continue;
                }
            }
            const auto transformed = transformCoordinateLine(line, factors, settings.precision);
            if (!transformed)
                return lineFailure(fileName, lineNumber, transformed.error());
            writer.writeLine(*transformed);
        } else if (lineNumber == 1) {
            const auto header = rewriteHeaderLine(line, sourceName, newBaseName);
            if (!header)
                return lineFailure(fileName, lineNumber, header.error());
            writer.writeLine(*header);
        } else {
            writer.writeLine(line);
        }
    }
    return std::nullopt;
}

} // namespace

QString newFileNameFor(const QString &fileName)
{
    return fileName.left(fileName.size() - 4) + QStringLiteral("_new1.afp");
}

ResizeOutcome runResize(const QString &folder, const QString &fileName, const ResizeSettings &settings)
{
    if (fileName.isEmpty())
        return NoFileSelected{};
    if (!isPartFileName(fileName))
        return failure(ErrorKind::InvalidArgument, fileName, QStringLiteral("it is not a part file (.afp)"));

    const QDir dir(folder);
    const QString sourcePath = dir.filePath(fileName);
    const QFileInfo sourceInfo(sourcePath);
    if (!sourceInfo.exists())
        return failure(ErrorKind::FileNotFound, fileName,
                       QStringLiteral("it was not found in %1").arg(QDir::toNativeSeparators(dir.absolutePath())));
    if (sourceInfo.isDir())
        return failure(ErrorKind::PathError, fileName, QStringLiteral("it is a folder, not a part file"));

    const QString newName = newFileNameFor(fileName);
    const QString targetPath = dir.filePath(newName);
    if (QFileInfo(targetPath).isDir())
        return failure(ErrorKind::PathError, fileName,
                       QStringLiteral("a folder named %1 is in the way of the new file").arg(newName));
    // Writing through a link back to the source would replace the source.
    if (QFileInfo(targetPath).canonicalFilePath() == sourceInfo.canonicalFilePath())
        return failure(ErrorKind::PathError, fileName, QStringLiteral("%1 is a link to the part itself").arg(newName));
    QSaveFile target(targetPath);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(kindOfCreateError(QFileInfo(targetPath)), fileName,
                       QStringLiteral("%1 could not be created: %2").arg(newName, target.errorString()));

    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failure(sourceInfo.isReadable() ? ErrorKind::IoError : ErrorKind::PermissionDenied, fileName,
                       QStringLiteral("it could not be opened for reading: %1").arg(source.errorString()));

    LineReader reader(source);
    BufferedWriter writer(target);
    if (auto failed = turnLines(reader, writer, fileName, newName, settings))
        return *failed;
    if (reader.failed())
        return failure(ErrorKind::IoError, fileName, QStringLiteral("reading it failed: %1").arg(reader.errorString()));
    if (!writer.flush())
        return failure(kindOfWriteError(target), fileName,
                       QStringLiteral("writing %1 failed: %2").arg(newName, writer.errorString()));
    source.close();
    if (!target.commit())
        return failure(kindOfWriteError(target), fileName,
                       QStringLiteral("writing %1 failed: %2").arg(newName, target.errorString()));
    return Created{newName};
}

} // namespace morvane
