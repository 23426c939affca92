#pragma once

#include "core/system/open_folder.h"
#include "core/system/posix/descriptor.h"

namespace morvane {

// An open folder is a descriptor of it.
struct OpenFolder::State {
    Descriptor fd;
};

inline int descriptorOf(const OpenFolder &folder) { return folder.state().fd.get(); }

} // namespace morvane
