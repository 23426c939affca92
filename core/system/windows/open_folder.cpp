#include "core/system/open_folder.h"

#include "core/system/windows/folder_state.h"

#include <QStringList>

namespace morvane {

Entry entryOf(HANDLE file)
{
    Entry entry;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return entry;
    entry.identity = identityOf(info);
    switch (::GetFileType(file)) {
    case FILE_TYPE_CHAR:
        entry.type = FileType::CharacterDevice;
        break;
    case FILE_TYPE_PIPE:
        entry.type = FileType::Fifo;
        break;
    case FILE_TYPE_DISK:
        entry.type = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? FileType::Link
            : info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY            ? FileType::Folder
                                                                          : FileType::Regular;
        break;
    default:
        entry.type = FileType::Other;
    }
    return entry;
}

bool isDeviceName(const NativeName &name)
{
    const QString base = name.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList kDevices = {"CON", "PRN", "AUX", "NUL"};
    return kDevices.contains(base)
        || (base.size() == 4 && (base.startsWith(u"COM") || base.startsWith(u"LPT")) && base[3] >= u'1'
            && base[3] <= u'9');
}

OpenFolder::OpenFolder() : m_state(std::make_unique<State>()) {}
OpenFolder::~OpenFolder() = default;
OpenFolder::OpenFolder(OpenFolder &&) noexcept = default;
OpenFolder &OpenFolder::operator=(OpenFolder &&) noexcept = default;

SystemError OpenFolder::open(const NativeName &path)
{
    m_state->path = longPath(path);
    m_state->handle = openForLooking(m_state->path);
    if (!m_state->handle.valid())
        return lastError();
    if (entryOf(m_state->handle.get()).type != FileType::Folder)
        return ERROR_DIRECTORY;
    return 0;
}

bool OpenFolder::removed() const
{
    FILE_STANDARD_INFO info{};
    return ::GetFileInformationByHandleEx(m_state->handle.get(), FileStandardInfo, &info, sizeof info)
        && info.DeletePending;
}

SystemError OpenFolder::lookUp(const NativeName &name, Entry &entry) const
{
    if (isDeviceName(name)) {
        entry = {FileType::CharacterDevice, {}};
        return 0;
    }
    const Handle file = openForLooking(inFolder(m_state->path, name));
    if (!file.valid())
        return lastError();
    entry = entryOf(file.get());
    return 0;
}

} // namespace morvane
