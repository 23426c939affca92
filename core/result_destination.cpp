#include "core/result_destination.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

// As many as the kernel follows in one path.
constexpr int kMaxLinks = 40;

// A link's target as a folder to open and a name in it. A target that
// ends in a folder ("..", "sub/") is that folder's ".".
void splitTarget(const QByteArray &target, QByteArray &folder, QByteArray &name)
{
    const qsizetype slash = target.lastIndexOf('/');
    name = target.mid(slash + 1);
    folder = slash < 0 ? QByteArray(".") : target.left(slash + 1);
    if (name.isEmpty() || name == "." || name == "..") {
        folder = target;
        name = ".";
    }
}

} // namespace

int findDestination(int folder, const QByteArray &name, Destination &destination)
{
    destination.folder = Descriptor(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (!destination.folder.valid())
        return errno;
    destination.name = name;
    for (;; ++destination.links) {
        struct stat found {};
        if (::fstatat(destination.folder.get(), destination.name.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return errno;
            destination.earlier.reset();
            if (destination.links > 0)
                destination.obstacle = Obstacle::LinkToNothing;
            return 0;
        }
        destination.earlier = found;
        if (!S_ISLNK(found.st_mode))
            break;
        if (found.st_uid != ::geteuid()) {
            destination.obstacle = Obstacle::LinkOfAnother;
            return 0;
        }
        if (destination.links == kMaxLinks)
            return ELOOP;
        char target[PATH_MAX];
        const ssize_t length =
            ::readlinkat(destination.folder.get(), destination.name.constData(), target, sizeof target);
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) == sizeof target)
            return ENAMETOOLONG;
        QByteArray targetFolder;
        splitTarget(QByteArray(target, length), targetFolder, destination.name);
        Descriptor next(
            ::openat(destination.folder.get(), targetFolder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next.valid()) {
            if (errno != ENOENT && errno != ENOTDIR)
                return errno;
            destination.earlier.reset();
            destination.obstacle = Obstacle::LinkToNothing;
            return 0;
        }
        destination.folder = std::move(next);
    }
    if (!S_ISREG(destination.earlier->st_mode))
        destination.obstacle = destination.links > 0 ? Obstacle::LinkToNotRegular : Obstacle::NotRegular;
    else if (destination.links > 0 && destination.earlier->st_uid != ::geteuid())
        destination.obstacle = Obstacle::LinkToAnother;
    return 0;
}

} // namespace morvane
