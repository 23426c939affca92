#include "core/parallel_fast_path.h"

#include "core/buffered_writer.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace morvane {

namespace {

// Small enough that the two cores share the work evenly, large enough that
// claiming one costs nothing beside its lines.
constexpr std::size_t kChunkSize = 64 * 1024;

// The first wait after a window shared in vain, and the longest.
constexpr std::size_t kFirstBackOff = 1024 * 1024;
constexpr std::size_t kLongestBackOff = std::size_t(1) << 30;

// The most lines `lines` can hold: each takes at least 9 bytes ("",0,0,0
// and LF). Each writes at most kFastLineMax, so a chunk's room is this many
// times that.
std::size_t mostLines(std::string_view lines) { return lines.size() / 9 + 1; }

} // namespace

ParallelFastPath::ParallelFastPath(FastLines transform, const std::array<double, 3> &factors, int decimals)
    : m_transform(transform), m_factors(factors), m_decimals(decimals)
{
    // The second core is a speed-up: where no thread can be had, as under a
    // process limit, every window stays on the caller's, with the same bytes.
    try {
        m_worker = std::thread([this] { work(); });
    } catch (const std::system_error &) {
    }
}

ParallelFastPath::~ParallelFastPath()
{
    if (!m_worker.joinable())
        return;
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
        for (int at = claim(true); at >= 0; at = claim(true))
            transform(m_chunks[static_cast<std::size_t>(at)]);
        m_done.release();
    }
}

int ParallelFastPath::claim(bool fromBack)
{
    std::uint64_t ends = m_ends.load();
    while (true) {
        const auto front = static_cast<std::uint32_t>(ends);
        const auto back = static_cast<std::uint32_t>(ends >> 32);
        if (front >= back)
            return -1;
        const std::uint64_t claimed = fromBack ? ends - (std::uint64_t(1) << 32) : ends + 1;
        if (m_ends.compare_exchange_weak(ends, claimed))
            return static_cast<int>(fromBack ? back - 1 : front);
    }
}

void ParallelFastPath::transform(Chunk &chunk) const
{
    chunk.progress = m_transform(chunk.lines.data(), chunk.lines.data() + chunk.lines.size(), m_factors.data(),
                                 m_decimals, chunk.out.get(), mostLines(chunk.lines));
}

FastProgress ParallelFastPath::run(std::string_view window, BufferedWriter &writer)
{
    // Chunks end after the first line end past each kChunkSize bytes.
    std::size_t count = 0;
    for (std::size_t start = 0; start < window.size(); ++count) {
        const std::size_t from = std::min(start + kChunkSize, window.size());
        const auto *newline = static_cast<const char *>(std::memchr(window.data() + from, '\n', window.size() - from));
        const std::size_t end = newline ? static_cast<std::size_t>(newline - window.data()) + 1 : window.size();
        if (m_chunks.size() == count)
            m_chunks.emplace_back();
        Chunk &chunk = m_chunks[count];
        chunk.lines = window.substr(start, end - start);
        const std::size_t room = mostLines(chunk.lines) * kFastLineMax;
        if (chunk.room < room) {
            chunk.out.reset(new char[room]);
            chunk.room = room;
        }
        start = end;
    }
    m_ends = std::uint64_t(count) << 32;
    m_started.release();

    // The caller's chunks are written as they are done, while the other
    // core works on; the first that stops short ends what is written.
    FastProgress progress;
    bool whole = true;
    const auto take = [&](const Chunk &chunk) {
        if (!whole)
            return;
        writer.write({chunk.out.get(), chunk.progress.written});
        progress.consumed += chunk.progress.consumed;
        progress.written += chunk.progress.written;
        progress.lines += chunk.progress.lines;
        whole = chunk.progress.consumed == chunk.lines.size();
    };
    int done = 0;
    for (int at = claim(false); at >= 0; at = claim(false), ++done) {
        Chunk &chunk = m_chunks[static_cast<std::size_t>(at)];
        if (whole)
            transform(chunk);
        take(chunk);
    }
    m_done.acquire();
    const std::size_t ownLines = progress.lines;
    for (std::size_t at = static_cast<std::size_t>(done); at < count; ++at)
        take(m_chunks[at]);
    m_secondCoreLines = progress.lines - ownLines;
    // Short of a whole line, not of a line cut by the window's end.
    const std::string_view left = window.substr(progress.consumed);
    const bool stoppedShort = left.find('\n') != std::string_view::npos;
    m_backOff = stoppedShort ? std::clamp(2 * m_backOff, kFirstBackOff, kLongestBackOff) : 0;
    m_alone = 0;
    return progress;
}

} // namespace morvane
