#pragma once

#include "core/system/file_identity.h"

#include <QByteArray>

#include <sys/stat.h>

namespace morvane {

// The permissions of a new result, as ResultFile tells them.

// The permission bits a first result is created with, for the part open
// as `source`. 0, or the errno of the failure.
int firstResultMode(int source, const struct stat &part, mode_t &mode);
// Gives the new file `fd` the group of `model`, the file it takes its
// permissions from, as above.
int keepGroup(int fd, const struct stat &model);

// A replacing result is created with these, to be widened to the earlier
// file's by carryPermissions before anything is written.
inline constexpr mode_t kReplacingResultMode = 0600;

// Gives the new file `fd` the permissions of the earlier file `name` in
// `folder`, as long as it is still the file `earlier`. 0, or the errno of
// the failure.
int carryPermissions(int fd, int folder, const QByteArray &name, const FileIdentity &earlier);

} // namespace morvane
