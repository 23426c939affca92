#pragma once

#include "core/resize_outcome.h"
#include "core/rules/resize_settings.h"

#include <QString>

namespace morvane {

// The new file's name: the selected name less its last four characters
// (the .afp, whatever its case), then "_new1.afp".
QString newFileNameFor(const QString &fileName);

// Resizes `fileName` in `folder` into its _new1.afp companion beside it. The
// result is written to a temporary file and put in place only when the whole
// source has been turned: after a failure nothing in the folder has changed.
ResizeOutcome runResize(const QString &folder, const QString &fileName, const ResizeSettings &settings);

} // namespace morvane
