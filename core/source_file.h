#pragma once

#include <QByteArray>
#include <QIODevice>

#include <sys/stat.h>

namespace morvane {

// A part file opened for reading. Only a regular file opens: a FIFO or a
// device could block or never end. It is read no further than one byte
// past the size it had when opened, so a file that grows cannot keep a run
// going.
class SourceFile : public QIODevice {
public:
    SourceFile() = default;
    ~SourceFile() override;

    // Opens `name` in the folder `folder` (a descriptor) as the file that
    // `found` describes. 0, or the errno of the failure (ESTALE when another
    // file took the name meanwhile).
    int openAt(int folder, const QByteArray &name, const struct stat &found);
    void close() override;
    int descriptor() const { return m_fd; }
    bool isSequential() const override { return true; }

    // Its size or time of change is not what it was, or another file has
    // taken its name.
    bool changedSinceOpen() const;
    // Exactly the size it had when opened has been read.
    bool readWhole() const { return m_read == m_opened.st_size; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int m_fd = -1;
    int m_folder = -1;
    QByteArray m_name;
    struct stat m_opened {};
    qint64 m_read = 0;
};

} // namespace morvane
