#include "core/system/posix/open_looked_at.h"

#include "core/system/posix/file_status.h"
#include "core/system/posix/self_path.h"

#include <cerrno>
#include <fcntl.h>

namespace morvane {

Descriptor openLookedAt(int folder, const char *name, const FileIdentity &looked, int flags, struct stat &opened)
{
    const auto isLooked = [&](const Descriptor &fd) {
        return ::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode) && identityOf(opened) == looked;
    };
    const Descriptor held(::openat(folder, name, O_PATH | O_CLOEXEC | (flags & O_NOFOLLOW)));
    if (!held.valid())
        return Descriptor();
    if (!isLooked(held)) {
        errno = ESTALE;
        return Descriptor();
    }
    // Through /proc, as that very file. Without it the name is opened again:
    // where it named the file itself, never through a link that took its
    // place since.
    const QByteArray self = selfPath(held.get());
    struct stat named {};
    if (self.isEmpty() && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(named.st_mode))
        flags |= O_NOFOLLOW;
    Descriptor fd(self.isEmpty() ? ::openat(folder, name, flags | O_CLOEXEC)
                                 : ::openat(AT_FDCWD, self.constData(), (flags & ~O_NOFOLLOW) | O_CLOEXEC));
    if (fd.valid() ? !isLooked(fd) : self.isEmpty() && errno == ELOOP) {
        errno = ESTALE;
        return Descriptor();
    }
    return fd;
}

} // namespace morvane
