#include "core/parallel_fast_path.h"

#include "core/buffered_writer.h"

#include <cstring>

namespace morvane {

ParallelFastPath::ParallelFastPath(FastLines transform, const std::array<double, 3> &factors, int decimals)
    : m_transform(transform), m_factors(factors), m_decimals(decimals), m_worker([this] { work(); })
{
}

ParallelFastPath::~ParallelFastPath()
{
    m_stopping = true;
    m_started.release();
    m_worker.join();
}

void ParallelFastPath::work()
{
    while (true) {
        m_started.acquire();
        if (m_stopping)
            return;
        m_halves[1].progress = transform(m_halves[1]);
        m_done.release();
    }
}

// Each line takes at least 9 bytes ("",0,0,0 and LF) and writes at most
// kFastLineMax, so this room is never short.
FastProgress ParallelFastPath::transform(Half &half) const
{
    const std::size_t maxLines = half.lines.size() / 9 + 1;
    half.out.resize(maxLines * kFastLineMax);
    return m_transform(half.lines.data(), half.lines.data() + half.lines.size(), m_factors.data(), m_decimals,
                       half.out.data(), maxLines);
}

FastProgress ParallelFastPath::run(std::string_view window, BufferedWriter &writer)
{
    // The second half starts after the first line end past the middle.
    const auto *newline =
        static_cast<const char *>(std::memchr(window.data() + window.size() / 2, '\n', window.size() / 2));
    const std::size_t split = newline ? static_cast<std::size_t>(newline - window.data()) + 1 : window.size();
    m_halves[0].lines = window.substr(0, split);
    m_halves[1].lines = window.substr(split);
    m_started.release();
    m_halves[0].progress = transform(m_halves[0]);
    m_done.acquire();

    FastProgress progress = m_halves[0].progress;
    writer.write({m_halves[0].out.data(), progress.written});
    if (progress.consumed == split) {
        const FastProgress &second = m_halves[1].progress;
        writer.write({m_halves[1].out.data(), second.written});
        progress.consumed += second.consumed;
        progress.written += second.written;
        progress.lines += second.lines;
    }
    return progress;
}

} // namespace morvane
