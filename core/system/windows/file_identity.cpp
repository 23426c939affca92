#include "core/system/file_identity.h"

#include "core/system/windows/folder_state.h"

namespace morvane {

std::optional<FileIdentity> identityOf(const NativeName &path)
{
    const Handle file = openForLooking(longPath(path));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info))
        return std::nullopt;
    return identityOf(info);
}

} // namespace morvane
