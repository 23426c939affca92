#include "core/interrupt_cleanup.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// Read by the handler; written only with the signals held back.
int g_folder = -1;
char g_name[NAME_MAX + 1];
volatile std::sig_atomic_t g_armed = 0;
struct sigaction g_previous[kSignalCount];
bool g_installed[kSignalCount];

sigset_t cleanupSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

extern "C" void removeThenResignal(int signal)
{
    // unlinkat, sigaction and raise are async-signal-safe.
    if (g_armed)
        ::unlinkat(g_folder, g_name, 0);
    g_armed = 0;
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == signal)
            ::sigaction(signal, &g_previous[i], nullptr);
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
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
        g_installed[i] = false;
        if (::sigaction(kSignals[i], nullptr, &g_previous[i]) != 0 || g_previous[i].sa_handler == SIG_IGN)
            continue;
        g_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
    g_armed = 1;
}

void InterruptCleanup::disarm()
{
    if (!g_armed)
        return;
    g_armed = 0;
    for (int i = 0; i < kSignalCount; ++i)
        if (g_installed[i])
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

} // namespace morvane
