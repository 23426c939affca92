#include "core/system/windows/interrupt_cleanup.h"

#include <windows.h>

#include <mutex>

namespace morvane {

namespace {

std::mutex g_committing;

// Runs on a thread of its own: waits for a commit under way, then lets the
// interruption end the process as it would have.
BOOL WINAPI waitForCommit(DWORD)
{
    const std::lock_guard wait(g_committing);
    return FALSE;
}

} // namespace

CommitInProgress::CommitInProgress()
{
    static const bool installed = ::SetConsoleCtrlHandler(waitForCommit, TRUE);
    (void)installed;
    g_committing.lock();
}

CommitInProgress::~CommitInProgress() { g_committing.unlock(); }

} // namespace morvane
