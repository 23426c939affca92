#include "core/buffered_writer.h"

#include <QIODevice>

#include <cstring>

namespace morvane {

BufferedWriter::BufferedWriter(QIODevice &device, std::size_t blockSize) : m_device(device), m_block(blockSize) {}

bool BufferedWriter::writeToDevice(const char *data, std::size_t size)
{
    if (m_failed)
        return false;
    while (size > 0) {
        const qint64 written = m_device.write(data, static_cast<qint64>(size));
        if (written <= 0) {
            m_failed = true;
            m_errorString = m_device.errorString();
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool BufferedWriter::flush()
{
    const bool ok = writeToDevice(m_block.data(), m_used);
    m_used = 0;
    return ok;
}

char *BufferedWriter::reserve(std::size_t size)
{
    if (m_block.size() - m_used < size)
        flush();
    return m_block.data() + m_used;
}

void BufferedWriter::write(std::string_view bytes)
{
    if (bytes.size() <= m_block.size() - m_used) {
        std::memcpy(m_block.data() + m_used, bytes.data(), bytes.size());
        m_used += bytes.size();
        return;
    }
    flush();
    if (bytes.size() < m_block.size()) {
        std::memcpy(m_block.data(), bytes.data(), bytes.size());
        m_used = bytes.size();
    } else {
        writeToDevice(bytes.data(), bytes.size());
    }
}

void BufferedWriter::writeLine(std::string_view line)
{
    write(line);
    write("\r\n");
}

} // namespace morvane
