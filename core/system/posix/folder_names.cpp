#include "core/system/folder_names.h"

#include "core/part_file_names.h"

#include <QFile>

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

std::optional<NativeName> folderPathFor(const QString &folder)
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
    const std::optional<QByteArray> bytes = folderPathFor(folder);
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
