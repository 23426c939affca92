#pragma once

#include "core/system/native_name.h"

#include <QList>
#include <QString>

#include <optional>

namespace morvane {

// A name as text, as the window shows it. On POSIX each byte that is not
// UTF-8 shows as U+FFFD, so two names may read the same.
QString nameText(const NativeName &name);

// The name in `folder` (as the system names it; empty for the current
// folder) that `text` stands for: the one name there that reads as `text`.
// Nothing where two do, as a name that is not UTF-8 and its twin whose
// bytes are those of U+FFFD.
std::optional<NativeName> nameIn(const NativeName &folder, const QString &text);

// The folder a path shown as text stands for, as the system names it: each
// of its names as nameIn takes it. Nothing where one of them stands for two.
std::optional<NativeName> folderPathFor(const QString &folder);

// The regular files of a folder a user sees in it, as the system names
// them, in no order: hidden ones are left out, and on Windows devices and
// links. None where the folder cannot be read.
QList<NativeName> visibleFileNames(const NativeName &folder);

} // namespace morvane
