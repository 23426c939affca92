#include "core/part_file_names.h"

#include "core/system/folder_names.h"

#include <QStringDecoder>

#include <algorithm>

namespace morvane {

namespace {

QString escaped(uint code)
{
    return QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, u'0');
}

} // namespace

bool isPartFileName(const NativeName &fileName)
{
    return isPlainName(fileName) && fileName.size() >= 4 && fileName.right(4).toLower() == ".afp";
}

NativeName newFileNameFor(const NativeName &fileName) { return fileName.chopped(4) + "_new1.afp"; }

QString shownName(const QString &name)
{
    QString shown;
    for (const QChar c : name)
        shown += c.unicode() < 0x20 || c.unicode() == 0x7F ? escaped(c.unicode()) : QString(c);
    return shown;
}

QString shownName(const QByteArray &name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(name);
    if (!utf8.hasError())
        return shownName(text);
    QString shown;
    for (const char byte : name) {
        const auto code = static_cast<unsigned char>(byte);
        shown += code >= 0x20 && code < 0x7F ? QString(QLatin1Char(byte)) : escaped(code);
    }
    return shown;
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
