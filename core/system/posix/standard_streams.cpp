#include "core/system/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

// True when `fd` was closed; it is then /dev/null.
bool claim(int fd)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return false;
    // The lowest free number, which is `fd`, since those below it are open.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd)
        ::close(opened);
    return true;
}

} // namespace

ClosedStreams claimStandardStreams()
{
    ClosedStreams closed;
    closed.input = claim(STDIN_FILENO);
    closed.output = claim(STDOUT_FILENO);
    closed.error = claim(STDERR_FILENO);
    return closed;
}

} // namespace morvane
