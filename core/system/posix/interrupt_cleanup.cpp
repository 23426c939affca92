#include "core/system/posix/interrupt_cleanup.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

// Whether a signal's default action ends the process and a handler can
// catch it (signal(7)); glibc keeps two real-time signals for itself, and
// sigaction refuses them.
bool endsProcess(int signal)
{
    switch (signal) {
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGCHLD:
    case SIGCONT:
    case SIGURG:
    case SIGWINCH:
        return false;
    default:
        return signal < SIGRTMIN || signal <= SIGRTMAX;
    }
}

// Read by the handler; written only with the signals held back.
int g_folder = -1;
char g_name[NAME_MAX + 1];
volatile std::sig_atomic_t g_armed = 0;
struct sigaction g_previous[NSIG];
bool g_installed[NSIG];

sigset_t cleanupSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal = 1; signal < NSIG; ++signal)
        if (endsProcess(signal))
            sigaddset(&set, signal);
    return set;
}

extern "C" void removeThenResignal(int signal)
{
    // unlinkat, sigaction and raise are async-signal-safe.
    if (g_armed)
        ::unlinkat(g_folder, g_name, 0);
    g_armed = 0;
    ::sigaction(signal, &g_previous[signal], nullptr);
    // Delivered again once the handler returns, now as the process had it.
    ::raise(signal);
}

} // namespace

SignalsHeld::SignalsHeld()
{
    const sigset_t held = cleanupSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, &m_previous);
}

SignalsHeld::~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

void InterruptCleanup::arm(int folder, const char *name)
{
    g_folder = folder;
    // The last byte is never written: the name always ends.
    std::strncpy(g_name, name, sizeof g_name - 1);
    struct sigaction action {};
    action.sa_handler = removeThenResignal;
    for (int signal = 1; signal < NSIG; ++signal) {
        g_installed[signal] = endsProcess(signal) && ::sigaction(signal, nullptr, &g_previous[signal]) == 0
            && g_previous[signal].sa_handler == SIG_DFL && ::sigaction(signal, &action, nullptr) == 0;
    }
    g_armed = 1;
}

void InterruptCleanup::disarm()
{
    if (!g_armed)
        return;
    g_armed = 0;
    for (int signal = 1; signal < NSIG; ++signal)
        if (g_installed[signal])
            ::sigaction(signal, &g_previous[signal], nullptr);
}

FileSizeLimitAsError::FileSizeLimitAsError()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    m_ignored = ::sigaction(SIGXFSZ, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL
        && ::sigaction(SIGXFSZ, &ignore, nullptr) == 0;
}

FileSizeLimitAsError::~FileSizeLimitAsError()
{
    if (!m_ignored)
        return;
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(SIGXFSZ, &standard, nullptr);
}

} // namespace morvane
