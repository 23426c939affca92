#pragma once

#include "core/system/native_name.h"

#include <cstdint>
#include <optional>

namespace morvane {

// A file as the file system tells it apart from others, whatever names it:
// device and inode on POSIX, volume and file index on Windows.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity &) const = default;
};

// The file `path` names, links followed; nothing where there is none.
std::optional<FileIdentity> identityOf(const NativeName &path);

} // namespace morvane
