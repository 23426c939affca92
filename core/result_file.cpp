#include "core/result_file.h"

#include "core/interrupt_cleanup.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace morvane {

namespace {

// Short, so that it fits beside any name the folder can hold, and hidden,
// so that the window never lists it.
QByteArray temporaryName()
{
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = ".morvane-";
    for (int i = 0; i < 8; ++i)
        name += kLetters[arc4random_uniform(kLetters.size())];
    return name;
}

constexpr int kNameAttempts = 100;

// The path through which an open file can be named.
QByteArray selfPath(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

// Small steps keep the disk busy from the start; each costs a call.
constexpr off_t kWritebackStep = 2 << 20;

} // namespace

ResultFile::~ResultFile() { discard(); }

int ResultFile::create(int folder, mode_t mode)
{
    m_folder = folder;
    int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    // An unnamed file gets its name through /proc (see nameUnseen): where
    // there is none, as in a bare chroot, it has a name from the start.
    if (fd >= 0 && ::faccessat(AT_FDCWD, selfPath(fd).constData(), F_OK, 0) != 0) {
        ::close(fd);
        fd = -1;
        errno = EOPNOTSUPP;
    }
    // Kernels and file systems without unnamed files say so in several ways.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        const SignalsHeld held;
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const QByteArray name = temporaryName();
            fd = ::openat(folder, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
            if (fd >= 0) {
                m_temporaryName = name;
                InterruptCleanup::arm(folder, name.constData());
                break;
            }
            if (errno != EEXIST)
                break;
        }
    }
    if (fd < 0)
        return errno;
    m_fd = fd;
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return errno;
    m_identity = identityOf(made);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return 0;
}

qint64 ResultFile::writeData(const char *data, qint64 size)
{
    ssize_t written;
    do
        written = ::write(m_fd, data, static_cast<std::size_t>(size));
    while (written < 0 && errno == EINTR);
    if (written < 0) {
        m_writeError = errno;
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    // Writeback starts as the data comes, so that the disk works while the
    // run does and the sync at the end has little left. Its errors show at
    // that sync.
    m_written += written;
    if (m_written - m_writebackStarted >= kWritebackStep) {
        ::sync_file_range(m_fd, m_writebackStarted, m_written - m_writebackStarted, SYNC_FILE_RANGE_WRITE);
        m_writebackStarted = m_written;
    }
    return written;
}

// An unnamed file gets a hidden name first: linkat cannot replace a file.
int ResultFile::nameUnseen()
{
    const QByteArray self = selfPath(m_fd);
    const SignalsHeld held;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray name = temporaryName();
        if (::linkat(AT_FDCWD, self.constData(), m_folder, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
            m_temporaryName = name;
            InterruptCleanup::arm(m_folder, name.constData());
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int ResultFile::commit(const QByteArray &name)
{
    // Only the sync may report that the data never reached the disk.
    if (::fdatasync(m_fd) != 0)
        return errno;
    if (m_temporaryName.isEmpty())
        if (const int error = nameUnseen())
            return error;
    // Network file systems may report a failed write only here.
    if (::close(std::exchange(m_fd, -1)) != 0 && errno != EINTR)
        return errno;
    if (::renameat(m_folder, m_temporaryName.constData(), m_folder, name.constData()) != 0)
        return errno;
    {
        const SignalsHeld held;
        InterruptCleanup::disarm();
        m_temporaryName.clear();
    }
    QIODevice::close();
    // The new file is in place whatever this says; the sync only makes the
    // rename last through a crash, where the folder allows it.
    const int folder = ::openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}

void ResultFile::discard()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_temporaryName.isEmpty()) {
        const SignalsHeld held;
        ::unlinkat(m_folder, m_temporaryName.constData(), 0);
        InterruptCleanup::disarm();
        m_temporaryName.clear();
    }
    QIODevice::close();
}

} // namespace morvane
