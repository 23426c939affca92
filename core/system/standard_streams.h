#pragma once

namespace morvane {

// Which of standard input, output and error were closed at start.
struct ClosedStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// On POSIX, opens /dev/null on each standard stream that is closed, before
// anything else opens a file: otherwise the next file opened takes its
// number, and what is printed to it lands in that file, a part or a result
// among them. Call first thing in main.
ClosedStreams claimStandardStreams();

} // namespace morvane
