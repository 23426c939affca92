#pragma once

#include "core/system/native_name.h"

#include <QStringList>

#include <optional>

namespace morvane {

// The folder a path shown as text stands for, as the system names it. On
// POSIX a name that is not UTF-8 shows with U+FFFD in it, and so does its
// twin whose bytes are those of U+FFFD: each such name is taken as the one
// name of its folder that reads the same. Nothing where two do: the path
// then stands for neither.
std::optional<NativeName> folderPathFor(const QString &folder);

// The part files of a folder, hidden ones left out, in name order. Only
// names that come back as the same name are listed, so that a name shown
// always opens the file it names; none where the folder's path stands for
// no one folder.
QStringList partFileNames(const QString &folder);

} // namespace morvane
