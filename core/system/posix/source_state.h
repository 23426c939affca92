#pragma once

#include "core/system/posix/descriptor.h"
#include "core/system/source_file.h"

#include <sys/stat.h>

namespace morvane {

struct SourceFile::State {
    Descriptor fd;
    int folder = -1; // the run's, which outlives the file
    NativeName name;
    struct stat opened {};
    qint64 read = 0;
};

} // namespace morvane
