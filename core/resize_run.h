#pragma once

#include "core/resize_outcome.h"
#include "core/rules/resize_settings.h"
#include "core/system/native_name.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace morvane {

// A file a run must not replace, as a batch keeps the results it has made
// and the parts it has yet to read.
struct KeptFile {
    QString part; // the part, as named, that made the file or that is the file
    bool made = false; // made from `part`, else `part` itself, still to be read
};

// Where a run's coordinate lines went: the bytes are the same either way,
// the time is not.
struct RunCounts {
    std::uint64_t fast = 0; // by the fast path on one core
    std::uint64_t sharedWindows = 0; // windows the fast path shared with a second core
    std::uint64_t shared = 0; // the lines of those windows
    std::uint64_t secondCore = 0; // of those, the second core's
    std::uint64_t general = 0; // by the general rules
};

// How a run may use the machine, and what it must leave alone. The
// window's run keeps to its one thread.
struct RunOptions {
    // The fast path may take a second core, where the machine has one.
    bool secondCore = false;
    // Asked about the file the new one would replace: why to keep it, if so.
    std::function<std::optional<KeptFile>(const FileIdentity &)> keep;
    // Filled in where given, once the run has gone through the lines.
    RunCounts *counts = nullptr;
};

// Resizes `fileName` in `folder` (empty for the current folder) into its
// _new1.afp companion beside it. Names are as the system holds them. The
// result is written unseen and put in place only when the whole source has
// been transformed and synced: after a failure nothing in the folder has
// changed.
ResizeOutcome runResize(const NativeName &folder, const NativeName &fileName, const ResizeSettings &settings,
                        RunOptions options = {});

// A part as the window's list shows it: its folder and its name, as text.
struct ShownPart {
    QString folder;
    QString fileName;
};
// The same for a part the window shows: its folder is the one folderPathFor
// finds and its name the one nameIn finds there, and it is refused where
// either text stands for two.
ResizeOutcome runResize(const ShownPart &part, const ResizeSettings &settings, RunOptions options = {});

} // namespace morvane
