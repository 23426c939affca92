#pragma once

#include "core/system/native_name.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace morvane {

// A name the resize takes: ending in .afp in any letter case, no folder.
bool isPartFileName(const NativeName &fileName);

// The new file's name: the part's name less its last four characters (the
// .afp, whatever its case), then "_new1.afp".
NativeName newFileNameFor(const NativeName &fileName);

// A name as a message shows it, by the rule of shownText: its text, but each
// control character and each byte that is not UTF-8 as \xHH.
QString shownName(const QByteArray &name);
QString shownName(const QString &name);

// Name order: by the letters whatever their case, then, between names that
// differ only in case, capitals first.
bool partNameBefore(const QString &a, const QString &b);

// The part files of a folder given as text, as the window lists them: by
// the text of their names, hidden ones left out, in name order. A name that
// is not UTF-8 is listed with U+FFFD in it (see nameIn); none are listed
// where the folder's path stands for no one folder.
QStringList partFileNames(const QString &folder);

} // namespace morvane
