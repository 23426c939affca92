#include "core/system/posix/result_permissions.h"

#include "core/system/posix/descriptor.h"
#include "core/system/posix/file_status.h"
#include "core/system/posix/open_looked_at.h"

#include <acl/libacl.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/acl.h>

namespace morvane {

namespace {

// The earlier file itself, not whatever took its name since it was looked
// at: opened for reading or, where it may only be written, for writing,
// which changes nothing in it.
Descriptor openEarlier(int folder, const QByteArray &name, const FileIdentity &earlier, struct stat &opened)
{
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    Descriptor file = openLookedAt(folder, name.constData(), earlier, O_RDONLY | kFlags, opened);
    if (!file.valid() && errno == EACCES)
        file = openLookedAt(folder, name.constData(), earlier, O_WRONLY | kFlags, opened);
    return file;
}

// The group class no more than others may: for a file whose group is not
// the one its permissions were meant for.
mode_t othersAtMost(mode_t mode) { return (mode & ~S_IRWXG) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3)); }

} // namespace

int keepGroup(int fd, const struct stat &model)
{
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return errno;
    if (made.st_gid == model.st_gid || ::fchown(fd, static_cast<uid_t>(-1), model.st_gid) == 0)
        return 0;
    return ::fchmod(fd, othersAtMost(made.st_mode & 0777)) == 0 ? 0 : errno;
}

int firstResultMode(int source, const struct stat &part, mode_t &mode)
{
    mode = part.st_mode & 0777;
    const acl_t acl = ::acl_get_fd(source);
    if (!acl)
        return errno == ENOTSUP ? 0 : errno;
    // An ACL's group bits are its mask: the part's own group may only what
    // its entry gives within the mask. Named entries stay with the part.
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t permissions;
        if (::acl_get_tag_type(entry, &tag) != 0 || tag != ACL_GROUP_OBJ || ::acl_get_permset(entry, &permissions) != 0)
            continue;
        const mode_t group = (::acl_get_perm(permissions, ACL_READ) == 1 ? S_IRGRP : 0)
            | (::acl_get_perm(permissions, ACL_WRITE) == 1 ? S_IWGRP : 0)
            | (::acl_get_perm(permissions, ACL_EXECUTE) == 1 ? S_IXGRP : 0);
        mode &= ~S_IRWXG | group;
    }
    ::acl_free(acl);
    return 0;
}

int carryPermissions(int fd, int folder, const QByteArray &name, const FileIdentity &identity)
{
    struct stat earlier {};
    const Descriptor file = openEarlier(folder, name, identity, earlier);
    if (!file.valid())
        return errno;
    // An access ACL's group bits are its mask, not the group's rights: the
    // ACL goes over whole. A file system without ACLs has the bits alone.
    if (const acl_t acl = ::acl_get_fd(file.get())) {
        const int set = ::acl_set_fd(fd, acl);
        const int error = errno;
        ::acl_free(acl);
        if (set != 0)
            return error;
    } else if (errno != ENOTSUP || ::fchmod(fd, earlier.st_mode & 0777) != 0) {
        return errno;
    }
    return keepGroup(fd, earlier);
}

} // namespace morvane
