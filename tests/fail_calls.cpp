// Preloaded into morvane-resize, makes system calls fail as some file
// systems and disks do, as FAIL_CALLS names them:
//   tmpfile    open(O_TMPFILE) is not supported (vfat, older NFS and SMB);
//              tmpfile-eisdir and tmpfile-einval as older kernels refuse it
//   proc       /proc is missing, as in a bare chroot
//   no-room    a new name cannot be made, as on a disk with no inodes left
//   fdatasync  the sync reports an I/O error
//   close      closing a file written to reports an I/O error (NFS)
//   read       reading a file past its first 64 KiB reports an I/O error;
//              read-once only the first time, its bytes lost, as from a bad
//              sector, and the reads after it succeed
//   write      writing a file reports an I/O error
//   short      writing a file takes at most 4096 bytes a time, as a pipe or a
//              signal may cut a write short
//   stop       the process stops itself once it has written 2 MB to files, for
//              a test to act in the middle of a run
//   swap       the part's name is a link to a FIFO for the first open of a part
//              by its name, and the part again after it, as another user in a
//              shared folder may do; swap-second for the second open
//   clone      no thread can be started, as under a process limit
//   rename     putting the new file in place is not permitted
// A FIFO opened for reading ends the process with status 3: it may block,
// and a device opened in its place may act.

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool failing(const char *call, int error)
{
    const char *calls = std::getenv("FAIL_CALLS");
    errno = error;
    return calls && std::strstr(calls, call);
}

template <typename Function>
Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool underProc(const char *path) { return std::strncmp(path, "/proc/", 6) == 0 && failing("proc", ENOENT); }

bool ofType(int fd, mode_t type)
{
    struct stat info {};
    return fstat(fd, &info) == 0 && (info.st_mode & S_IFMT) == type;
}
bool regularFile(int fd) { return ofType(fd, S_IFREG); }

// A part opened by its name, relative to its folder.
bool partByName(const char *path)
{
    const std::size_t length = std::strlen(path);
    return path[0] != '/' && length > 4 && !std::strcmp(path + length - 4, ".afp") && !std::strstr(path, "_new1");
}

} // namespace

extern "C" {

int openat(int folder, const char *path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    if (((flags & O_TMPFILE) == O_TMPFILE
         && (failing("tmpfile-eisdir", EISDIR) || failing("tmpfile-einval", EINVAL) || failing("tmpfile", EOPNOTSUPP)))
        || ((flags & O_CREAT) && failing("no-room", ENOSPC)) || underProc(path))
        return -1;
    static int opens = 0;
    const bool swap = partByName(path) && ++opens == (failing("swap-second", 0) ? 2 : 1) && failing("swap", 0);
    const auto rename = real<int (*)(int, const char *, int, const char *)>("renameat");
    if (swap
        && (rename(folder, path, folder, ".part") != 0 || mkfifoat(folder, ".fifo", 0600) != 0
            || symlinkat(".fifo", folder, path) != 0))
        abort();
    const int fd = real<int (*)(int, const char *, int, ...)>("openat")(folder, path, flags, mode);
    const int error = errno;
    if (swap && (rename(folder, ".part", folder, path) != 0 || unlinkat(folder, ".fifo", 0) != 0))
        abort();
    if (fd >= 0 && !(flags & O_PATH) && ofType(fd, S_IFIFO) && failing("swap", 0)) {
        static const char kSaid[] = "fail_calls: a FIFO was opened for reading\n";
        real<ssize_t (*)(int, const void *, size_t)>("write")(2, kSaid, sizeof kSaid - 1);
        _exit(3);
    }
    errno = error;
    return fd;
}

// What a fortified build calls where the flags are not known when built.
int __openat_2(int folder, const char *path, int flags) { return openat(folder, path, flags); }

int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    return failing("rename", EPERM)
        ? -1
        : real<int (*)(int, const char *, int, const char *)>("renameat")(fromFolder, from, toFolder, to);
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*start)(void *), void *argument)
{
    return failing("clone", 0) ? EAGAIN
                                : real<int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *)>(
                                    "pthread_create")(thread, attributes, start, argument);
}

int faccessat(int folder, const char *path, int mode, int flags)
{
    return underProc(path) ? -1 : real<int (*)(int, const char *, int, int)>("faccessat")(folder, path, mode, flags);
}

int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
{
    return underProc(from)
        ? -1
        : real<int (*)(int, const char *, int, const char *, int)>("linkat")(fromFolder, from, toFolder, to, flags);
}

int fdatasync(int fd) { return failing("fdatasync", EIO) ? -1 : real<int (*)(int)>("fdatasync")(fd); }

ssize_t read(int fd, void *buffer, size_t size)
{
    const auto realRead = real<ssize_t (*)(int, void *, size_t)>("read");
    static bool failed = false;
    if (regularFile(fd) && lseek(fd, 0, SEEK_CUR) >= 65536 && !(failed && failing("read-once", 0))
        && failing("read", EIO)) {
        if (failing("read-once", 0))
            realRead(fd, buffer, size);
        failed = true;
        errno = EIO;
        return -1;
    }
    return realRead(fd, buffer, size);
}

ssize_t write(int fd, const void *data, size_t size)
{
    if (regularFile(fd) && failing("write", EIO))
        return -1;
    if (regularFile(fd) && failing("short", 0))
        size = size < 4096 ? size : 4096;
    static size_t written = 0;
    if (regularFile(fd) && (written += size) >= 2 << 20 && written - size < 2 << 20 && failing("stop", 0))
        raise(SIGSTOP);
    return real<ssize_t (*)(int, const void *, size_t)>("write")(fd, data, size);
}

int close(int fd)
{
    const bool written = (fcntl(fd, F_GETFL) & O_ACCMODE) == O_WRONLY && regularFile(fd);
    const int closed = real<int (*)(int)>("close")(fd);
    return closed == 0 && written && failing("close", EIO) ? -1 : closed;
}
}
