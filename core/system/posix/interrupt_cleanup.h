#pragma once

#include <csignal>

namespace morvane {

// While a temporary file has a name in a folder, every signal that would
// end the process and can be caught (signal(7): SIGTERM, SIGINT, SIGHUP,
// SIGQUIT, SIGUSR1, SIGALRM, the real-time signals and the rest) removes it
// before the process ends as the signal asks: a logout, a Ctrl+C or a kill
// in the middle of a run leaves nothing behind. Only signals left to their
// default action are caught: one the process ignores (as under nohup) stays
// ignored, and one it handles stays its own. One name at a time.
class InterruptCleanup {
public:
    // Call with those signals blocked (SignalsHeld), so that none comes
    // between the file's creation and this.
    static void arm(int folder, const char *name);
    static void disarm();
};

// Holds those signals back for its lifetime.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t m_previous;
};

// For its lifetime a write past the file size limit (ulimit -f) fails with
// EFBIG, which the run reports, instead of ending the process with SIGXFSZ.
// A process that handles or ignores SIGXFSZ itself keeps its way.
class FileSizeLimitAsError {
public:
    FileSizeLimitAsError();
    ~FileSizeLimitAsError();
    FileSizeLimitAsError(const FileSizeLimitAsError &) = delete;
    FileSizeLimitAsError &operator=(const FileSizeLimitAsError &) = delete;

private:
    bool m_ignored = false;
};

} // namespace morvane
