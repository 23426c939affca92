#include "core/part_file_names.h"

#include "core/rules/shown_text.h"
#include "core/system/folder_names.h"

#include <algorithm>

namespace morvane {

bool isPartFileName(const NativeName &fileName)
{
    return isPlainName(fileName) && fileName.size() >= 4 && fileName.right(4).toLower() == ".afp";
}

NativeName newFileNameFor(const NativeName &fileName) { return fileName.chopped(4) + "_new1.afp"; }

QString shownName(const QByteArray &name)
{
    return QString::fromStdString(shownText(std::string_view(name.constData(), std::size_t(name.size()))));
}

// As UTF-8, but a lone surrogate, which a name on Windows may hold, as the
// three bytes UTF-8 would give it: not UTF-8, so shown as \xHH, never as
// another name's character.
QString shownName(const QString &name)
{
    QByteArray bytes;
    for (qsizetype at = 0; at < name.size(); ++at) {
        char32_t code = name[at].unicode();
        if (name[at].isHighSurrogate() && at + 1 < name.size() && name[at + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(name[at], name[at + 1]);
            ++at;
        }
        if (code < 0x80) {
            bytes += char(code);
            continue;
        }
        const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        bytes += char((0xF00 >> length) | (code >> (6 * (length - 1))));
        for (int rest = length - 2; rest >= 0; --rest)
            bytes += char(0x80 | ((code >> (6 * rest)) & 0x3F));
    }
    return shownName(bytes);
}

bool partNameBefore(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

QStringList partFileNames(const QString &folder)
{
    QStringList names;
    if (const std::optional<NativeName> path = folderPathFor(folder))
        for (const NativeName &name : visibleFileNames(*path))
            if (isPartFileName(name))
                names << nameText(name);
    std::sort(names.begin(), names.end(), partNameBefore);
    return names;
}

} // namespace morvane
