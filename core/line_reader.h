#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QIODevice;

namespace morvane {

// Reads a device line by line in large blocks, holding one line at a time.
// A line ends at LF or CR LF; the terminator is not part of it, and a last
// line without one still counts. Bytes are handed on as they are.
class LineReader {
public:
    explicit LineReader(QIODevice &device, std::size_t blockSize = 256 * 1024);

    // The next line, valid until the following call; false at the end or on
    // a read error (then failed() tells).
    bool next(std::string_view &line);
    bool failed() const { return m_failed; }
    QString errorString() const { return m_errorString; }

private:
    bool fill();

    QIODevice &m_device;
    std::vector<char> m_block;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::string m_longLine;
    bool m_atEnd = false;
    bool m_failed = false;
    QString m_errorString;
};

} // namespace morvane
