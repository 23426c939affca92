#pragma once

#include "core/resize_outcome.h"
#include "core/rules/resize_settings.h"

#include <QByteArray>
#include <QString>

namespace morvane {

// How a run may use the machine. The window's run keeps to its one thread.
struct RunOptions {
    // The fast path may take a second core, where the machine has one.
    bool secondCore = false;
};

// Resizes `fileName` in `folder` into its _new1.afp companion beside it.
// Names are bytes, as the file system holds them. The result is written
// unseen and put in place only when the whole source has been transformed and
// synced: after a failure nothing in the folder has changed.
ResizeOutcome runResize(const QByteArray &folder, const QByteArray &fileName, const ResizeSettings &settings,
                        RunOptions options = {});

// The same for names held as text, encoded as the file system takes them.
ResizeOutcome runResize(const QString &folder, const QString &fileName, const ResizeSettings &settings,
                        RunOptions options = {});

} // namespace morvane
