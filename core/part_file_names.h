#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace morvane {

// A file name is bytes, as the file system holds it.

// A name the resize takes: ending in .afp in any letter case, no folder.
bool isPartFileName(const QByteArray &fileName);

// The new file's name: the part's name less its last four bytes (the .afp,
// whatever its case), then "_new1.afp".
QByteArray newFileNameFor(const QByteArray &fileName);

// A name as a message shows it: its text, but each control character, and
// each byte of a name that is not UTF-8, as \xHH, so that a message never
// breaks a line, moves the cursor or names another file.
QString shownName(const QByteArray &name);

// Name order: by the letters whatever their case, then, between names that
// differ only in case, capitals first.
bool partNameBefore(const QString &a, const QString &b);

// The bytes of a folder's path shown as text. A name that is not UTF-8
// shows with U+FFFD in it, and so does its twin whose bytes are those of
// U+FFFD: each such name is taken as the one name of its folder that reads
// the same. Nothing where two do: the path then stands for neither.
std::optional<QByteArray> folderPathBytes(const QString &folder);

// The part files of a folder, hidden ones left out, in name order. Only
// names that come back as the same bytes are listed, so that a name shown
// always opens the file it names; none where the folder's path stands for
// no one folder.
QStringList partFileNames(const QString &folder);

} // namespace morvane
