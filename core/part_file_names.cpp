#include "core/part_file_names.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace morvane {

bool isPartFileName(const QByteArray &fileName)
{
    return fileName.size() >= 4 && fileName.right(4).toLower() == ".afp" && !fileName.contains('/')
        && !fileName.contains('\0');
}

QByteArray newFileNameFor(const QByteArray &fileName) { return fileName.chopped(4) + "_new1.afp"; }

bool partNameBefore(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

QStringList partFileNames(const QString &folder)
{
    QStringList names;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(QFile::encodeName(folder).constData()), ::closedir);
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
