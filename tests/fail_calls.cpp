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

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
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

bool regularFile(int fd)
{
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
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
        || ((flags & O_CREAT) && failing("no-room", ENOSPC)))
        return -1;
    return real<int (*)(int, const char *, int, ...)>("openat")(folder, path, flags, mode);
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
