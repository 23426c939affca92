#include "core/line_reader.h"

#include <QIODevice>

#include <cstring>

namespace morvane {

namespace {

std::string_view withoutCarriageReturn(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

LineReader::LineReader(QIODevice &device, std::size_t blockSize) : m_device(device), m_block(blockSize) {}

bool LineReader::fill()
{
    if (m_atEnd || m_failed)
        return false;
    const qint64 got = m_device.read(m_block.data(), static_cast<qint64>(m_block.size()));
    if (got < 0) {
        m_failed = true;
        m_errorString = m_device.errorString();
        return false;
    }
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    m_begin = 0;
    m_end = static_cast<std::size_t>(got);
    return true;
}

bool LineReader::next(std::string_view &line)
{
    m_longLine.clear();
    bool partial = false;
    while (true) {
        if (m_begin == m_end && !fill()) {
            if (m_failed || !partial)
                return false;
            // The last line has no terminator. Its CR, if any, was a lone one.
            line = m_longLine;
            return true;
        }
        const char *start = m_block.data() + m_begin;
        const std::size_t available = m_end - m_begin;
        const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available));
        if (newline) {
            const auto length = static_cast<std::size_t>(newline - start);
            m_begin += length + 1;
            if (!partial) {
                line = withoutCarriageReturn({start, length});
                return true;
            }
            m_longLine.append(start, length);
            line = withoutCarriageReturn(m_longLine);
            return true;
        }
        // The line goes on past this block: keep what we have and read on.
        m_longLine.append(start, available);
        m_begin = m_end;
        partial = true;
    }
}

} // namespace morvane
