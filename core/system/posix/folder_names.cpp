#include "core/system/folder_names.h"

#include <QFile>

#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace morvane {

namespace {

// A folder open for reading its names, closed on the way out.
using FolderReader = std::unique_ptr<DIR, int (*)(DIR *)>;
FolderReader readFolder(const QByteArray &path)
{
    return {::opendir(path.isEmpty() ? "." : path.constData()), ::closedir};
}

} // namespace

QString nameText(const NativeName &name) { return QFile::decodeName(name); }

std::optional<NativeName> nameIn(const NativeName &folder, const QString &text)
{
    QByteArray bytes = QFile::encodeName(text);
    if (!text.contains(QChar::ReplacementCharacter))
        return bytes;
    int readTheSame = 0;
    const FolderReader dir = readFolder(folder);
    while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr)
        if (QFile::decodeName(entry->d_name) == text && ++readTheSame == 1)
            bytes = entry->d_name;
    if (readTheSame > 1)
        return std::nullopt;
    return bytes;
}

std::optional<NativeName> folderPathFor(const QString &folder)
{
    QByteArray path = folder.startsWith(u'/') ? QByteArray("/") : QByteArray();
    for (const QString &name : folder.split(u'/', Qt::SkipEmptyParts)) {
        const std::optional<QByteArray> bytes = nameIn(path, name);
        if (!bytes)
            return std::nullopt;
        path += *bytes + '/';
    }
    if (path.size() > 1)
        path.chop(1);
    return path;
}

QList<NativeName> visibleFileNames(const NativeName &folder)
{
    QList<NativeName> names;
    const FolderReader dir = readFolder(folder);
    while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr) {
        struct stat info {};
        if (entry->d_name[0] != '.' && ::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) == 0
            && S_ISREG(info.st_mode))
            names << QByteArray(entry->d_name);
    }
    return names;
}

} // namespace morvane
