#pragma once

#include "core/rules/fast_coordinate_line.h"

#include <array>
#include <semaphore>
#include <string_view>
#include <thread>
#include <vector>

namespace morvane {

class BufferedWriter;

// The fast path over a window of lines on two cores: a thread of its own
// takes the second half while the caller takes the first. The halves are
// written in order; where the first half stops short (a line for the
// general rules), the second half's work is dropped, so the result is the
// one-core result.
class ParallelFastPath {
public:
    ParallelFastPath(FastLines transform, const std::array<double, 3> &factors, int decimals);
    ~ParallelFastPath();
    ParallelFastPath(const ParallelFastPath &) = delete;
    ParallelFastPath &operator=(const ParallelFastPath &) = delete;

    // Windows shorter than this are not worth the handing over.
    static constexpr std::size_t kMinWindow = 64 * 1024;

    // Transforms the lines at the front of `window` (readable kFastReadAhead
    // bytes past its end) and writes them to `writer`.
    FastProgress run(std::string_view window, BufferedWriter &writer);

private:
    struct Half {
        std::string_view lines;
        std::vector<char> out;
        FastProgress progress;
    };
    FastProgress transform(Half &half) const;
    void work();

    FastLines m_transform;
    std::array<double, 3> m_factors;
    int m_decimals;
    Half m_halves[2];
    std::binary_semaphore m_started{0};
    std::binary_semaphore m_done{0};
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace morvane
