#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace morvane {

// A file as the file system tells it apart from others, whatever names it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity &) const = default;
};

inline FileIdentity identityOf(const struct stat &file)
{
    return {static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino)};
}

// The file `path` names, links followed; nothing where there is none.
std::optional<FileIdentity> identityOf(const QByteArray &path);

} // namespace morvane
