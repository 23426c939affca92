#include "core/system/source_file.h"

#include "core/system/posix/file_status.h"
#include "core/system/posix/folder_state.h"
#include "core/system/posix/open_looked_at.h"
#include "core/system/posix/source_state.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

bool sameContentStamp(const struct stat &a, const struct stat &b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

SourceFile::SourceFile() : m_state(std::make_unique<State>()) {}

SourceFile::~SourceFile() { close(); }

SystemError SourceFile::open(const OpenFolder &folder, const NativeName &name, const Entry &found)
{
    // Not blocking, where the name is opened again: a FIFO that took the
    // file's place must not hang the open.
    struct stat opened {};
    Descriptor fd =
        openLookedAt(descriptorOf(folder), name.constData(), found.identity, O_RDONLY | O_NOCTTY | O_NONBLOCK, opened);
    if (!fd.valid())
        return errno == ESTALE ? kTakenOver : errno;
    *m_state = State{std::move(fd), descriptorOf(folder), name, opened, 0};
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return 0;
}

void SourceFile::close()
{
    m_state->fd = Descriptor();
    QIODevice::close();
}

qint64 SourceFile::readData(char *data, qint64 maxSize)
{
    State &file = *m_state;
    const qint64 allowed = std::min<qint64>(maxSize, file.opened.st_size + 1 - file.read);
    if (allowed <= 0)
        return 0;
    ssize_t got;
    do
        got = ::read(file.fd.get(), data, static_cast<std::size_t>(allowed));
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        setErrorString(errorText(errno));
        return -1;
    }
    file.read += got;
    return got;
}

bool SourceFile::readWhole() const { return m_state->read == m_state->opened.st_size; }

bool SourceFile::changedSinceOpen() const
{
    const State &file = *m_state;
    struct stat now {};
    struct stat named {};
    return ::fstat(file.fd.get(), &now) != 0 || !sameContentStamp(now, file.opened)
        || ::fstatat(file.folder, file.name.constData(), &named, 0) != 0
        || identityOf(named) != identityOf(file.opened);
}

} // namespace morvane
