#include "core/system/file_identity.h"

#include "core/system/windows/handle.h"

namespace morvane {

std::optional<FileIdentity> identityOf(const NativeName &path)
{
    const Handle file = openForLooking(longPath(path));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace morvane
