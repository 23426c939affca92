#include "core/system/result_destination.h"

#include "core/system/posix/file_status.h"
#include "core/system/posix/folder_state.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

// As many as the kernel follows in one path.
constexpr int kMaxLinks = 40;

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
    if (!S_ISREG(found.st_mode))
        destination.obstacle = destination.links > 0 ? Obstacle::LinkToNotRegular : Obstacle::NotRegular;
    else if (destination.links > 0 && found.st_uid != ::geteuid())
        destination.obstacle = Obstacle::LinkToAnother;
    else if (::faccessat(at.get(), destination.name.constData(), W_OK, AT_EACCESS) != 0) {
        if (errno != EACCES)
            return errno;
        destination.obstacle = Obstacle::ReadOnly;
    }
    return 0;
}

} // namespace morvane
