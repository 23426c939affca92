#include "core/system/result_destination.h"

#include "core/system/posix/file_status.h"
#include "core/system/posix/folder_state.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace morvane {

namespace {

// As many as the kernel follows in one path.
constexpr int kMaxLinks = 40;

// CAP_FOWNER, which root has, lets a process replace any file in a sticky
// folder. Linux's; on macOS root alone may.
bool mayReplaceAnyFile()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    return ::syscall(SYS_capget, &header, data) == 0
        && (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

// The names of a path, in order; "" for each doubled or trailing slash.
std::deque<QByteArray> namesOf(const QByteArray &path)
{
    const QList<QByteArray> names = path.split('/');
    return {names.begin(), names.end()};
}

} // namespace

// The path is walked name by name, as the kernel would walk it, but no
// folder is entered and no link followed before it has been looked at, so
// that another user's link on the way is seen, in a folder part too.
SystemError findDestination(const OpenFolder &folder, const NativeName &name, Destination &destination)
{
    Descriptor &at = destination.folder.state().fd;
    at = Descriptor(::fcntl(descriptorOf(folder), F_DUPFD_CLOEXEC, 0));
    if (!at.valid())
        return errno;
    struct stat found {};
    std::deque<QByteArray> names{name};
    while (!names.empty()) {
        QByteArray next = names.front();
        names.pop_front();
        const bool last = names.empty();
        if (next.isEmpty() || next == ".") {
            if (!last)
                continue;
            next = "."; // a link that ends in a folder
        }
        if (::fstatat(at.get(), next.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT && errno != ENOTDIR)
                return errno;
            destination.earlier.reset();
            if (destination.links > 0)
                destination.obstacle = Obstacle::LinkToNothing;
            destination.name = next;
            return 0;
        }
        if (S_ISLNK(found.st_mode)) {
            if (found.st_uid != ::geteuid()) {
                destination.obstacle = Obstacle::LinkOfAnother;
                return 0;
            }
            if (++destination.links > kMaxLinks)
                return ELOOP;
            char target[PATH_MAX];
            const ssize_t length = ::readlinkat(at.get(), next.constData(), target, sizeof target);
            if (length < 0)
                return errno;
            if (static_cast<std::size_t>(length) == sizeof target)
                return ENAMETOOLONG;
            if (target[0] == '/')
                at = Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            std::deque<QByteArray> targetNames = namesOf(QByteArray(target, length));
            names.insert(names.begin(), targetNames.begin(), targetNames.end());
            continue;
        }
        if (last) {
            destination.name = next;
            destination.earlier = entryOf(found);
            break;
        }
        // A folder on the way: entered as it was looked at, never through a
        // link that took its place since.
        Descriptor entered(::openat(at.get(), next.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!entered.valid()) {
            if (errno != ENOTDIR && errno != ENOENT && errno != ELOOP)
                return errno;
            destination.earlier.reset();
            destination.obstacle = Obstacle::LinkToNothing;
            destination.name = next;
            return 0;
        }
        at = std::move(entered);
    }
    // The folder that holds it: in a sticky one (as /tmp) only the owner of
    // the file or of the folder may replace it, or the run's last step, the
    // rename, is refused.
    struct stat holder {};
    if (::fstat(at.get(), &holder) != 0)
        return errno;
    if (!S_ISREG(found.st_mode))
        destination.obstacle = destination.links > 0 ? Obstacle::LinkToNotRegular : Obstacle::NotRegular;
    else if (destination.links > 0 && found.st_uid != ::geteuid())
        destination.obstacle = Obstacle::LinkToAnother;
    else if ((holder.st_mode & S_ISVTX) && found.st_uid != ::geteuid() && holder.st_uid != ::geteuid()
             && !mayReplaceAnyFile())
        destination.obstacle = Obstacle::OthersInStickyFolder;
    else if (const std::uint64_t locked = lockingAttributes(at.get(), destination.name.constData()))
        destination.obstacle = (locked & STATX_ATTR_IMMUTABLE) ? Obstacle::Immutable : Obstacle::AppendOnly;
    else if (::faccessat(at.get(), destination.name.constData(), W_OK, AT_EACCESS) != 0) {
        if (errno != EACCES)
            return errno;
        destination.obstacle = Obstacle::ReadOnly;
    }
    return 0;
}

} // namespace morvane
