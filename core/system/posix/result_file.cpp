#include "core/system/result_file.h"

#include "core/system/posix/file_status.h"
#include "core/system/posix/folder_state.h"
#include "core/system/posix/interrupt_cleanup.h"
#include "core/system/posix/result_permissions.h"
#include "core/system/posix/self_path.h"
#include "core/system/posix/source_state.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace morvane {

namespace {

// Short, so that it fits beside any name the folder can hold, and hidden,
// so that the window never lists it.
QByteArray newTemporaryName()
{
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = ".morvane-";
    for (int i = 0; i < 8; ++i)
        name += kLetters[arc4random_uniform(kLetters.size())];
    return name;
}

constexpr int kNameAttempts = 100;

// Small steps keep the disk busy from the start; each costs a call.
constexpr off_t kWritebackStep = 2 << 20;

} // namespace

struct ResultFile::State {
    FileSizeLimitAsError sizeLimit;
    int fd = -1;
    int folder = -1; // the destination's, which outlives the file
    QByteArray name; // the name it takes
    QByteArray temporaryName; // while it has one
    SystemError writeError = 0;
    off_t written = 0;
    off_t writebackStarted = 0; // where the last writeback asked for ended
    FileIdentity identity;

    // An unnamed file gets a hidden name first: linkat cannot replace a file.
    SystemError nameUnseen();
    // Gives the file a hidden name of its own, which `make` makes (false,
    // with errno, where it cannot), and arms its removal on interruption.
    template <typename Make>
    SystemError takeHiddenName(Make make);
    void discard();
};

template <typename Make>
SystemError ResultFile::State::takeHiddenName(Make make)
{
    // Held back until the name is armed: no signal leaves it behind.
    const SignalsHeld held;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray name = newTemporaryName();
        if (make(name)) {
            temporaryName = name;
            InterruptCleanup::arm(folder, name.constData());
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

ResultFile::ResultFile() : m_state(std::make_unique<State>()) {}

ResultFile::~ResultFile()
{
    m_state->discard();
    QIODevice::close();
}

SystemError ResultFile::create(const Destination &destination, const SourceFile &source)
{
    State &file = *m_state;
    file.folder = descriptorOf(destination.folder);
    file.name = destination.name;
    mode_t mode = kReplacingResultMode;
    if (!destination.earlier)
        if (const SystemError error = firstResultMode(source.state().fd.get(), source.state().opened, mode))
            return error;
    // In an append-only folder the new file's hidden name could never be
    // taken away again; an immutable one takes none.
    if (lockingAttributes(file.folder, "."))
        return EPERM;
    // O_TMPFILE is Linux's; macOS takes the named file below.
    int fd = ::openat(file.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    // An unnamed file gets its name through /proc (see nameUnseen): where
    // there is none, it has a name from the start.
    if (fd >= 0 && selfPath(fd).isEmpty()) {
        ::close(fd);
        fd = -1;
        errno = EOPNOTSUPP;
    }
    // Kernels and file systems without unnamed files say so in several ways.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        const SystemError error = file.takeHiddenName([&](const QByteArray &name) {
            fd = ::openat(file.folder, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
            return fd >= 0;
        });
        if (error)
            return error;
    }
    if (fd < 0)
        return errno;
    file.fd = fd;
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return errno;
    file.identity = identityOf(made);
    if (const SystemError error = destination.earlier
            ? carryPermissions(fd, file.folder, destination.name, destination.earlier->identity)
            : keepGroup(fd, source.state().opened))
        return error;
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return 0;
}

qint64 ResultFile::writeData(const char *data, qint64 size)
{
    State &file = *m_state;
    ssize_t written;
    do
        written = ::write(file.fd, data, static_cast<std::size_t>(size));
    while (written < 0 && errno == EINTR);
    if (written < 0) {
        file.writeError = errno;
        setErrorString(errorText(errno));
        return -1;
    }
    // Writeback starts as the data comes, so that the disk works while the
    // run does and the sync at the end has little left. Its errors show at
    // that sync. sync_file_range is Linux's; macOS has no such call and
    // would leave it all to the sync.
    file.written += written;
    if (file.written - file.writebackStarted >= kWritebackStep) {
        ::sync_file_range(file.fd, file.writebackStarted, file.written - file.writebackStarted, SYNC_FILE_RANGE_WRITE);
        file.writebackStarted = file.written;
    }
    return written;
}

SystemError ResultFile::writeError() const { return m_state->writeError; }

FileIdentity ResultFile::identity() const { return m_state->identity; }

SystemError ResultFile::State::nameUnseen()
{
    const QByteArray self = selfPath(fd);
    return takeHiddenName([&](const QByteArray &name) {
        return ::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0;
    });
}

SystemError ResultFile::commit()
{
    State &file = *m_state;
    // Only the sync may report that the data never reached the disk.
    // fdatasync is Linux's; macOS would need fcntl(F_FULLFSYNC) to reach
    // the disk itself.
    if (::fdatasync(file.fd) != 0)
        return errno;
    if (file.temporaryName.isEmpty())
        if (const SystemError error = file.nameUnseen())
            return error;
    // Network file systems may report a failed write only here.
    if (::close(std::exchange(file.fd, -1)) != 0 && errno != EINTR)
        return errno;
    if (::renameat(file.folder, file.temporaryName.constData(), file.folder, file.name.constData()) != 0)
        return errno;
    {
        const SignalsHeld held;
        InterruptCleanup::disarm();
        file.temporaryName.clear();
    }
    QIODevice::close();
    // The new file is in place whatever this says; the sync only makes the
    // rename last through a crash, where the folder allows it.
    const int folder = ::openat(file.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}

void ResultFile::State::discard()
{
    if (fd >= 0)
        ::close(std::exchange(fd, -1));
    if (!temporaryName.isEmpty()) {
        const SignalsHeld held;
        ::unlinkat(folder, temporaryName.constData(), 0);
        InterruptCleanup::disarm();
        temporaryName.clear();
    }
}

} // namespace morvane
