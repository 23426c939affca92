#include "core/source_file.h"

#include "core/file_identity.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

bool sameContentStamp(const struct stat &a, const struct stat &b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

SourceFile::~SourceFile() { close(); }

int SourceFile::openAt(int folder, const QByteArray &name, const struct stat &found)
{
    // Not blocking: a FIFO put in the file's place must not hang the open.
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || identityOf(opened) != identityOf(found)) {
        ::close(fd);
        return ESTALE;
    }
    m_fd = fd;
    m_folder = folder;
    m_name = name;
    m_opened = opened;
    m_read = 0;
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return 0;
}

void SourceFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    QIODevice::close();
}

qint64 SourceFile::readData(char *data, qint64 maxSize)
{
    const qint64 allowed = std::min<qint64>(maxSize, m_opened.st_size + 1 - m_read);
    if (allowed <= 0)
        return 0;
    ssize_t got;
    do
        got = ::read(m_fd, data, static_cast<std::size_t>(allowed));
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    m_read += got;
    return got;
}

bool SourceFile::changedSinceOpen() const
{
    struct stat now {};
    struct stat named {};
    return ::fstat(m_fd, &now) != 0 || !sameContentStamp(now, m_opened)
        || ::fstatat(m_folder, m_name.constData(), &named, 0) != 0 || identityOf(named) != identityOf(m_opened);
}

} // namespace morvane
