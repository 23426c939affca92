#pragma once

#include <csignal>

namespace morvane {

// While a temporary file has a name in a folder, SIGTERM, SIGINT and SIGHUP
// remove it before the process ends as the signal asks: a logout or a
// Ctrl+C in the middle of a run leaves nothing behind. A signal the process
// ignores (as under nohup) stays ignored. One name at a time.
class InterruptCleanup {
public:
    // Call with those signals blocked (SignalsHeld), so that none comes
    // between the file's creation and this.
    static void arm(int folder, const char *name);
    static void disarm();
};

// Holds SIGTERM, SIGINT and SIGHUP back for its lifetime.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t m_previous;
};

} // namespace morvane
