#include "core/system/native_name.h"

#include <QFile>

namespace morvane {

NativeName nativeName(const QString &text) { return QFile::encodeName(text); }

bool isPlainName(const NativeName &name) { return !name.isEmpty() && !name.contains('/') && !name.contains('\0'); }

std::optional<std::string> headerText(const NativeName &name) { return name.toStdString(); }

} // namespace morvane
