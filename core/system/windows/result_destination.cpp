#include "core/system/result_destination.h"

#include "core/system/windows/folder_state.h"

namespace morvane {

// Windows gives a link no owner the run could trust, so a link at the name
// is never written through, whoever made it.
SystemError findDestination(const OpenFolder &folder, const NativeName &name, Destination &destination)
{
    OpenFolder::State &at = destination.folder.state();
    at.path = pathOf(folder);
    at.handle = openForLooking(at.path);
    if (!at.handle.valid())
        return lastError();
    destination.name = name;
    // Windows' file systems hold names of up to 255 UTF-16 units; said
    // before anything is written, as the system does not always say so.
    if (name.size() > 255)
        return ERROR_FILENAME_EXCED_RANGE;
    const std::wstring path = inFolder(at.path, name);
    const Handle earlier = openForLooking(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!earlier.valid()) {
        const SystemError error = lastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    destination.earlier = entryOf(earlier.get());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(earlier.get(), &info))
        return lastError();
    if (destination.earlier->type == FileType::Link)
        destination.obstacle = Obstacle::Link;
    else if (destination.earlier->type != FileType::Regular)
        destination.obstacle = Obstacle::NotRegular;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        destination.obstacle = Obstacle::ReadOnly;
    // A file another program holds open, and will not let go of, would
    // stop ReplaceFileW only at the end: it is seen now, and said so.
    else if (!Handle(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr))
                  .valid())
        return lastError();
    return 0;
}

} // namespace morvane
