#pragma once

#include "core/system/file_identity.h"
#include "core/system/posix/descriptor.h"

#include <sys/stat.h>

namespace morvane {

// Opens `name` in `folder` with `flags`, only as `looked`, the regular file
// the name held when it was looked at. The file is held first (O_PATH),
// which does nothing to a FIFO or a device that has taken the name since:
// opening one may block, or make a device act. It is opened only once it is
// known to be that file. With O_NOFOLLOW in `flags` a link at the name is
// never followed. No descriptor where it fails, with errno: ESTALE where
// another file has taken the name. `opened` is what the file is.
Descriptor openLookedAt(int folder, const char *name, const FileIdentity &looked, int flags, struct stat &opened);

} // namespace morvane
