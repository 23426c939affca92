#pragma once

// Every program a test starts ends when the test process does, whatever
// ends it (ctest's time limit, a crash, a kill), and writes no file larger
// than the largest a row makes: a run gone astray can neither outlive its
// test nor fill the disk.

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

// The test process, which its children see as their parent while it lives.
inline const pid_t kTestProcess = ::getpid();

// The largest result a row makes is that of the 64 MB kept line.
inline constexpr rlim_t kLargestFile = rlim_t(128) << 20;

// Holds the child that calls it to the test, or ends it: it writes no file
// past `largestFile` and leaves no core. Called last, as a change of user
// clears the parent-death signal.
inline void holdToTheTest(rlim_t largestFile = kLargestFile)
{
    const rlimit size{largestFile, largestFile}, noCore{0, 0};
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != kTestProcess || ::setrlimit(RLIMIT_CORE, &noCore) != 0
        || ::setrlimit(RLIMIT_FSIZE, &size) != 0)
        _exit(99);
}
