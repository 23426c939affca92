#pragma once

#include "core/rules/fast_coordinate_line.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace morvane {

class BufferedWriter;

// A binary semaphore on a mutex and a condition variable. libstdc++ 12's
// std::binary_semaphore can miss a wake-up where the system has no futex
// (MinGW's Windows), and the run would then wait for ever.
class Handover {
public:
    void release()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_ready = true;
        }
        m_wake.notify_one();
    }
    void acquire()
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_ready; });
        m_ready = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ready = false;
};

// The fast path over a window of lines on two cores. The window is cut
// into chunks at line ends: the caller takes them from the front and
// writes each as it is done, while a thread of its own takes them from the
// back, so that each core ends up with the share it has time for. The
// chunks are written in order; where one stops short (a line for the
// general rules), the chunks after it are dropped, so the result is the
// one-core result.
class ParallelFastPath {
public:
    ParallelFastPath(FastLines transform, const std::array<double, 3> &factors, int decimals);
    ~ParallelFastPath();
    ParallelFastPath(const ParallelFastPath &) = delete;
    ParallelFastPath &operator=(const ParallelFastPath &) = delete;

    // Windows shorter than this are not worth the handing over.
    static constexpr std::size_t kMinWindow = 64 * 1024;

    // Whether to share a window of `size` bytes. A window whose lines the
    // fast path took only in part cost the handing over and gained nothing:
    // after it, the next so many bytes go on one core, twice as many each
    // time it happens again, so that lines the fast path leaves to the
    // general rules never make two cores slower than one. Never without the
    // second core's thread.
    bool shares(std::size_t size) const { return m_worker.joinable() && size >= kMinWindow && m_alone >= m_backOff; }
    // Bytes the fast path took on one core.
    void tookAlone(std::size_t bytes) { m_alone += bytes; }

    // Transforms the lines at the front of `window` (readable kFastReadAhead
    // bytes past its end) and writes them to `writer`.
    FastProgress run(std::string_view window, BufferedWriter &writer);
    // Of the lines the last run() wrote, how many the second core took.
    std::size_t secondCoreLines() const { return m_secondCoreLines; }

private:
    struct Chunk {
        std::string_view lines;
        std::unique_ptr<char[]> out; // not zeroed: only the pages written take memory
        std::size_t room = 0;
        FastProgress progress;
    };
    void transform(Chunk &chunk) const;
    // The index of the next chunk from the front or the back; -1 when the
    // two ends have met.
    int claim(bool fromBack);
    void work();

    FastLines m_transform;
    std::array<double, 3> m_factors;
    int m_decimals;
    std::vector<Chunk> m_chunks;
    // The next chunk from the front in the low half; past the next from the
    // back in the high half. Claimed together, so that the ends never cross.
    std::atomic<std::uint64_t> m_ends{0};
    Handover m_started;
    Handover m_done;
    bool m_stopping = false;
    std::size_t m_backOff = 0; // bytes to take on one core before sharing again
    std::size_t m_alone = 0; // taken on one core since the last window shared
    std::size_t m_secondCoreLines = 0;
    std::thread m_worker;
};

} // namespace morvane
