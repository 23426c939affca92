#include "core/system/open_folder.h"

#include "core/system/posix/file_status.h"
#include "core/system/posix/folder_state.h"

#include <cerrno>
#include <fcntl.h>

namespace morvane {

OpenFolder::OpenFolder() : m_state(std::make_unique<State>()) {}
OpenFolder::~OpenFolder() = default;
OpenFolder::OpenFolder(OpenFolder &&) noexcept = default;
OpenFolder &OpenFolder::operator=(OpenFolder &&) noexcept = default;

SystemError OpenFolder::open(const NativeName &path)
{
    if (path.contains('\0'))
        return EINVAL;
    m_state->fd = Descriptor(::open(path.isEmpty() ? "." : path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return m_state->fd.valid() ? 0 : errno;
}

bool OpenFolder::removed() const
{
    struct stat info {};
    return ::fstat(m_state->fd.get(), &info) == 0 && info.st_nlink == 0;
}

SystemError OpenFolder::lookUp(const NativeName &name, Entry &entry) const
{
    struct stat found {};
    if (::fstatat(m_state->fd.get(), name.constData(), &found, 0) != 0)
        return errno;
    entry = entryOf(found);
    return 0;
}

} // namespace morvane
