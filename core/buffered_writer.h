#pragma once

#include <QString>

#include <string_view>
#include <vector>

class QIODevice;

namespace morvane {

// Collects output in a large block and hands it to the device in one write.
// After the first failed write it writes nothing more.
class BufferedWriter {
public:
    explicit BufferedWriter(QIODevice &device, std::size_t blockSize = 1024 * 1024);

    // Room for `size` bytes at the end of the block; at most the block size.
    char *reserve(std::size_t size);
    void commit(std::size_t size) { m_used += size; }

    void write(std::string_view bytes);
    void writeLine(std::string_view line);
    bool flush();

    bool failed() const { return m_failed; }
    QString errorString() const { return m_errorString; }

private:
    bool writeToDevice(const char *data, std::size_t size);

    QIODevice &m_device;
    std::vector<char> m_block;
    std::size_t m_used = 0;
    bool m_failed = false;
    QString m_errorString;
};

} // namespace morvane
