#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QIODevice;

namespace morvane {

// Reads a device line by line in large blocks. A line ends at LF or CR LF;
// the terminator is not part of it, and a last line without one still
// counts. Bytes are handed on as they are.
//
// Memory stays bounded whatever the input: next() holds at most
// kMaxLineLength bytes of a line, and nextPiece() hands a line on in pieces
// without holding it.
class LineReader {
public:
    // A header needs at most its 32767-character label and a file name; a
    // coordinate line, three numbers. This holds both with room to spare.
    static constexpr std::size_t kMaxLineLength = 4 * 1024 * 1024;

    explicit LineReader(QIODevice &device, std::size_t blockSize = 256 * 1024);

    // The next line, valid until the following call. False at the end, on a
    // read error (failed()) or for a line longer than kMaxLineLength
    // (tooLong()).
    bool next(std::string_view &line);
    // The next piece of the current line, valid until the following call;
    // `lineEnds` tells whether it is the line's last. False at the end or on
    // a read error.
    bool nextPiece(std::string_view &piece, bool &lineEnds);

    bool failed() const { return m_failed; }
    bool tooLong() const { return m_tooLong; }
    QString errorString() const { return m_errorString; }

private:
    bool fill();

    QIODevice &m_device;
    std::vector<char> m_block;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::string m_longLine;
    bool m_inLine = false; // a piece of the current line has been handed on
    bool m_heldCarriageReturn = false; // a CR at the end of a block, its role still open
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_tooLong = false;
    QString m_errorString;
};

} // namespace morvane
