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
//              shared folder may do; swap-second for the second open;
//              fifo-earlier the earlier result's name a FIFO for each open
//   clone      no thread can be started, as under a process limit
//   rename     putting the new file in place is not permitted
//   earlier-denied  opening the earlier result by its name for reading is
//              denied, as for a write-only file
//   statx      statx is refused, as a seccomp filter of older containers does
// A FIFO opened (or a swap not undone) ends the process with status 3: it
// may block, and a device opened in its place may act.

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
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

bool ofType(int fd, mode_t type)
{
    struct stat info {};
    return fstat(fd, &info) == 0 && (info.st_mode & S_IFMT) == type;
}

} // namespace

extern "C" {

int openat(int folder, const char *path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    const bool earlier = std::strstr(path, "_new1");
    if (((flags & O_TMPFILE) == O_TMPFILE
         && (failing("tmpfile-eisdir", EISDIR) || failing("tmpfile-einval", EINVAL) || failing("tmpfile", EOPNOTSUPP)))
        || ((flags & O_CREAT) && failing("no-room", ENOSPC)) || underProc(path)
        || (earlier && !(flags & (O_PATH | O_ACCMODE)) && failing("earlier-denied", EACCES)))
        return -1;
    // A part, or an earlier result, opened by its name relative to its folder.
    static int opens = 0;
    const bool swap = path[0] != '/' && std::strstr(path, ".afp")
        && (earlier ? failing("fifo-earlier", 0)
                    : ++opens == (failing("swap-second", 0) ? 2 : 1) && failing("swap", 0));
    const auto rename = real<decltype(&renameat)>("renameat");
    if (swap
        && (rename(folder, path, folder, ".part") || mkfifoat(folder, ".fifo", 0600)
            || (earlier ? rename(folder, ".fifo", folder, path) : symlinkat(".fifo", folder, path))))
        _exit(3);
    // Its errno is left as it is: undoing the swap succeeds.
    const int fd = real<decltype(&openat)>("openat")(folder, path, flags, mode);
    if ((swap && (rename(folder, ".part", folder, path) || (!earlier && unlinkat(folder, ".fifo", 0))))
        || (fd >= 0 && !(flags & O_PATH) && ofType(fd, S_IFIFO) && (failing("swap", 0) || failing("fifo-earlier", 0))
            && dprintf(2, "fail_calls: a FIFO was opened\n") > 0))
        _exit(3);
    return fd;
}

// What a fortified build calls where the flags are not known when built.
int __openat_2(int folder, const char *path, int flags) { return openat(folder, path, flags); }

int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    return failing("rename", EPERM) ? -1 : real<decltype(&renameat)>("renameat")(fromFolder, from, toFolder, to);
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*start)(void *), void *argument)
{
    return failing("clone", 0) ? EAGAIN
                               : real<decltype(&pthread_create)>("pthread_create")(thread, attributes, start, argument);
}

int faccessat(int folder, const char *path, int mode, int flags)
{
    return underProc(path) ? -1 : real<decltype(&faccessat)>("faccessat")(folder, path, mode, flags);
}

int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
{
    return underProc(from) ? -1 : real<decltype(&linkat)>("linkat")(fromFolder, from, toFolder, to, flags);
}

int statx(int folder, const char *path, int flags, unsigned mask, struct statx *status)
{
    return failing("statx", ENOSYS) ? -1 : real<decltype(&statx)>("statx")(folder, path, flags, mask, status);
}

int fdatasync(int fd) { return failing("fdatasync", EIO) ? -1 : real<decltype(&fdatasync)>("fdatasync")(fd); }

ssize_t read(int fd, void *buffer, size_t size)
{
    const auto realRead = real<decltype(&read)>("read");
    static bool failed = false;
    if (ofType(fd, S_IFREG) && lseek(fd, 0, SEEK_CUR) >= 65536 && !(failed && failing("read-once", 0))
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
    if (ofType(fd, S_IFREG) && failing("write", EIO))
        return -1;
    if (ofType(fd, S_IFREG) && failing("short", 0))
        size = size < 4096 ? size : 4096;
    static size_t written = 0;
    if (ofType(fd, S_IFREG) && (written += size) >= 2 << 20 && written - size < 2 << 20 && failing("stop", 0))
        raise(SIGSTOP);
    return real<decltype(&write)>("write")(fd, data, size);
}

int close(int fd)
{
    const bool written = (fcntl(fd, F_GETFL) & O_ACCMODE) == O_WRONLY && ofType(fd, S_IFREG);
    const int closed = real<decltype(&close)>("close")(fd);
    return closed == 0 && written && failing("close", EIO) ? -1 : closed;
}
}
