#pragma once

#include <QString>

#include <cstdint>
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

    // Large blocks: fewer calls, and fewer handovers to a second core.
    static constexpr std::size_t kBlockSize = 1024 * 1024;

    explicit LineReader(QIODevice &device, std::size_t blockSize = kBlockSize);

    // The next line, valid until the following call. False at the end, on a
    // read error (failed()) or for a line longer than kMaxLineLength
    // (tooLong()).
    bool next(std::string_view &line);
    // The next piece of the current line, valid until the following call;
    // `lineEnds` tells whether it is the line's last. False at the end or on
    // a read error.
    bool nextPiece(std::string_view &piece, bool &lineEnds);

    // The bytes read but not yet handed on, from the start of a line; valid
    // until the next call that reads. Readable kReadAhead bytes past its end.
    std::string_view window() const { return {m_block.data() + m_begin, m_end - m_begin}; }
    // Hands on `size` bytes of the window, whole lines.
    void advance(std::size_t size) { m_begin += size; }
    // Moves what is left of the window to the front and reads on behind it,
    // so that a line cut by the end of a block is whole again. False when
    // nothing more came.
    bool topUp();

    static constexpr std::size_t kReadAhead = 64;

    // Bytes read from the device so far.
    std::uint64_t bytesRead() const { return m_bytesRead; }

    bool failed() const { return m_failed; }
    bool tooLong() const { return m_tooLong; }
    QString errorString() const { return m_errorString; }

private:
    bool fill();
    bool readMore();

    QIODevice &m_device;
    std::vector<char> m_block;
    std::size_t m_blockSize;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::string m_longLine;
    bool m_inLine = false; // a piece of the current line has been handed on
    bool m_heldCarriageReturn = false; // a CR at the end of a block, its role still open
    std::uint64_t m_bytesRead = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_tooLong = false;
    QString m_errorString;
};

} // namespace morvane
