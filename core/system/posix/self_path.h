#pragma once

#include <QByteArray>

#include <fcntl.h>
#include <unistd.h>

namespace morvane {

// The path through which the file open as `fd` is opened again, as that
// very file whatever has taken its name since; empty where /proc is
// missing, as in a bare chroot. Linux only: macOS has no such path, so
// there it is always empty.
inline QByteArray selfPath(int fd)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(fd);
    return ::faccessat(AT_FDCWD, path.constData(), F_OK, 0) == 0 ? path : QByteArray();
}

} // namespace morvane
