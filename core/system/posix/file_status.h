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

// Whether `name` in `folder` may only be added to (chattr +a), where the
// file system says so. statx is Linux's; macOS has UF_APPEND in st_flags.
inline bool appendOnly(int folder, const char *name)
{
    struct statx status {};
    return ::statx(folder, name, AT_SYMLINK_NOFOLLOW, 0, &status) == 0 && (status.stx_attributes & STATX_ATTR_APPEND);
}

} // namespace morvane
