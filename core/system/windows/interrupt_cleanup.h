#pragma once

namespace morvane {

// A new file marked for deletion goes with the process however it ends: a
// Ctrl+C, Ctrl+Break, a closed console window, a log-off or a shutdown, or
// a crash. Only while it is being put in place is it unmarked; for that
// moment a console's interruption waits, so that the file is either in
// place or gone when the process ends. A window's end of session comes
// through the same handler.
class CommitInProgress {
public:
    CommitInProgress();
    ~CommitInProgress();
    CommitInProgress(const CommitInProgress &) = delete;
    CommitInProgress &operator=(const CommitInProgress &) = delete;
};

} // namespace morvane
