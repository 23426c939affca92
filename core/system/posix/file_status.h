#pragma once

#include "core/system/open_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace morvane {

inline FileIdentity identityOf(const struct stat &file)
{
    return {static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino)};
}

inline FileType typeOf(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileType::Regular;
    case S_IFDIR:
        return FileType::Folder;
    case S_IFIFO:
        return FileType::Fifo;
    case S_IFCHR:
        return FileType::CharacterDevice;
    case S_IFBLK:
        return FileType::BlockDevice;
    case S_IFSOCK:
        return FileType::Socket;
    case S_IFLNK:
        return FileType::Link;
    default:
        return FileType::Other;
    }
}

inline Entry entryOf(const struct stat &file) { return {typeOf(file.st_mode), identityOf(file)}; }

// Which of the attributes that keep a file from being replaced or removed
// `name` in `folder` has, where the file system says so: append-only
// (chattr +a) and immutable (+i). statx is Linux's; macOS has UF_APPEND
// and UF_IMMUTABLE in st_flags.
inline std::uint64_t lockingAttributes(int folder, const char *name)
{
    struct statx status {};
    return ::statx(folder, name, AT_SYMLINK_NOFOLLOW, 0, &status) == 0
        ? status.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)
        : 0;
}

} // namespace morvane
