#include "core/system/system_error.h"

#include <cerrno>
#include <cstring>

namespace morvane {

ErrorKind kindOf(SystemError error)
{
    switch (error) {
    case ENOENT:
        return ErrorKind::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ErrorKind::DiskFull;
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
    case EISDIR:
        return ErrorKind::PathError;
    default:
        return ErrorKind::IoError;
    }
}

QString errorText(SystemError error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace morvane
