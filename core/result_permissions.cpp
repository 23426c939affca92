#include "core/result_permissions.h"

#include "core/descriptor.h"
#include "core/file_identity.h"

#include <acl/libacl.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/acl.h>

namespace morvane {

namespace {

// The earlier file itself, not whatever took its name since it was looked
// at: opened for reading or, where it may only be written, for writing,
// which changes nothing in it.
Descriptor openEarlier(int folder, const QByteArray &name, const struct stat &earlier)
{
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor file(::openat(folder, name.constData(), O_RDONLY | kFlags));
    if (!file.valid() && errno == EACCES)
        file = Descriptor(::openat(folder, name.constData(), O_WRONLY | kFlags));
    struct stat opened {};
    if (file.valid()
        && (::fstat(file.get(), &opened) != 0 || identityOf(opened) != identityOf(earlier))) {
        errno = ESTALE;
        return Descriptor();
    }
    return file;
}

} // namespace

int carryPermissions(int fd, int folder, const QByteArray &name, const struct stat &earlier)
{
    const Descriptor file = openEarlier(folder, name, earlier);
    if (!file.valid())
        return errno;
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return errno;
    const bool groupKept = made.st_gid == earlier.st_gid || ::fchown(fd, static_cast<uid_t>(-1), earlier.st_gid) == 0;
    // An access ACL's group bits are its mask, not the group's rights: the
    // ACL goes over whole. A file system without ACLs has the bits alone.
    const mode_t mode = earlier.st_mode & 0777;
    if (const acl_t acl = ::acl_get_fd(file.get())) {
        const int set = ::acl_set_fd(fd, acl);
        const int error = errno;
        ::acl_free(acl);
        if (set != 0)
            return error;
    } else if (errno != ENOTSUP || ::fchmod(fd, mode) != 0) {
        return errno;
    }
    if (groupKept)
        return 0;
    // Another group than the earlier file's: it gets what others get, at most.
    const mode_t narrowed = (mode & ~S_IRWXG) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
    return ::fchmod(fd, narrowed) == 0 ? 0 : errno;
}

} // namespace morvane
