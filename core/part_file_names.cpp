#include "core/part_file_names.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace morvane {

namespace {

// A folder open for reading its names, closed on the way out.
using FolderReader = std::unique_ptr<DIR, int (*)(DIR *)>;
FolderReader readFolder(const char *path) { return {path ? ::opendir(path) : nullptr, ::closedir}; }

} // namespace

bool isPartFileName(const QByteArray &fileName)
{
    return fileName.size() >= 4 && fileName.right(4).toLower() == ".afp" && !fileName.contains('/')
        && !fileName.contains('\0');
}

QByteArray newFileNameFor(const QByteArray &fileName) { return fileName.chopped(4) + "_new1.afp"; }

QString shownName(const QByteArray &name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(name);
    QString shown;
    const auto escaped = [](uint code) {
        return QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    };
    if (utf8.hasError()) {
        for (const char byte : name) {
            const auto code = static_cast<unsigned char>(byte);
            shown += code >= 0x20 && code < 0x7F ? QString(QLatin1Char(byte)) : escaped(code);
        }
        return shown;
    }
    for (const QChar c : text)
        shown += c.unicode() < 0x20 || c.unicode() == 0x7F ? escaped(c.unicode()) : QString(c);
    return shown;
}

bool partNameBefore(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

std::optional<QByteArray> folderPathBytes(const QString &folder)
{
    QByteArray path = folder.startsWith(u'/') ? QByteArray("/") : QByteArray();
    for (const QString &name : folder.split(u'/', Qt::SkipEmptyParts)) {
        QByteArray bytes = QFile::encodeName(name);
        if (name.contains(QChar::ReplacementCharacter)) {
            int readTheSame = 0;
            const FolderReader dir = readFolder(path.isEmpty() ? "." : path.constData());
            while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr)
                if (QFile::decodeName(entry->d_name) == name && ++readTheSame == 1)
                    bytes = entry->d_name;
            if (readTheSame > 1)
                return std::nullopt;
        }
        path += bytes + '/';
    }
    if (path.size() > 1)
        path.chop(1);
    return path;
}

QStringList partFileNames(const QString &folder)
{
    QStringList names;
    const std::optional<QByteArray> bytes = folderPathBytes(folder);
    const FolderReader dir = readFolder(bytes ? bytes->constData() : nullptr);
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        struct stat info {};
        if (name.startsWith('.') || !isPartFileName(name) || ::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) != 0
            || !S_ISREG(info.st_mode))
            continue;
        const QString shown = QFile::decodeName(name);
        if (QFile::encodeName(shown) == name)
            names << shown;
    }
    std::sort(names.begin(), names.end(), partNameBefore);
    return names;
}

} // namespace morvane
