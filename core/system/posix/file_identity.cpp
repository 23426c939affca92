#include "core/system/file_identity.h"

#include "core/system/posix/file_status.h"

namespace morvane {

std::optional<FileIdentity> identityOf(const NativeName &path)
{
    struct stat file {};
    if (path.contains('\0') || ::stat(path.constData(), &file) != 0)
        return std::nullopt;
    return identityOf(file);
}

} // namespace morvane
