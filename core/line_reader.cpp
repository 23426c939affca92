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

// The block is followed by kReadAhead bytes that are never data.
LineReader::LineReader(QIODevice &device, std::size_t blockSize)
    : m_device(device), m_block(blockSize + kReadAhead), m_blockSize(blockSize)
{
}

bool LineReader::topUp()
{
    if (m_atEnd || m_failed)
        return false;
    std::memmove(m_block.data(), m_block.data() + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_begin = 0;
    return m_end < m_blockSize && readMore();
}

bool LineReader::fill()
{
    m_begin = m_end = 0;
    return readMore();
}

bool LineReader::readMore()
{
    if (m_atEnd || m_failed)
        return false;
    const qint64 got = m_device.read(m_block.data() + m_end, static_cast<qint64>(m_blockSize - m_end));
    if (got < 0) {
        m_failed = true;
        m_errorString = m_device.errorString();
        return false;
    }
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    m_end += static_cast<std::size_t>(got);
    m_bytesRead += static_cast<std::uint64_t>(got);
    return true;
}

bool LineReader::nextPiece(std::string_view &piece, bool &lineEnds)
{
    if (m_begin == m_end && !fill()) {
        if (m_failed || !m_inLine)
            return false;
        // The last line has no terminator. A CR held back was a lone one.
        piece = std::string_view("\r", m_heldCarriageReturn);
        m_heldCarriageReturn = false;
        m_inLine = false;
        lineEnds = true;
        return true;
    }
    const char *start = m_block.data() + m_begin;
    std::size_t available = m_end - m_begin;
    if (m_heldCarriageReturn) {
        m_heldCarriageReturn = false;
        lineEnds = *start == '\n';
        m_inLine = !lineEnds;
        if (lineEnds) {
            ++m_begin;
            piece = {start, 0};
        } else {
            piece = "\r";
        }
        return true;
    }
    if (const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available))) {
        const auto length = static_cast<std::size_t>(newline - start);
        m_begin += length + 1;
        piece = withoutCarriageReturn({start, length});
        m_inLine = false;
        lineEnds = true;
        return true;
    }
    // The line goes on past this block. A CR at its end may yet prove to be
    // half of a CR LF.
    m_begin = m_end;
    m_heldCarriageReturn = start[available - 1] == '\r';
    available -= m_heldCarriageReturn;
    piece = {start, available};
    m_inLine = true;
    lineEnds = false;
    return true;
}

bool LineReader::next(std::string_view &line)
{
    bool lineEnds = false;
    std::string_view piece;
    if (!nextPiece(piece, lineEnds))
        return false;
    if (lineEnds) {
        line = piece;
        return true;
    }
    m_longLine.assign(piece);
    while (nextPiece(piece, lineEnds)) {
        if (m_longLine.size() + piece.size() > kMaxLineLength) {
            m_tooLong = true;
            return false;
        }
        m_longLine.append(piece);
        if (lineEnds) {
            line = m_longLine;
            return true;
        }
    }
    return false;
}

} // namespace morvane
