#pragma once

#include "core/file_identity.h"
#include "core/interrupt_cleanup.h"

#include <QByteArray>
#include <QIODevice>

#include <sys/types.h>

namespace morvane {

// The new part file. It is written where no one sees it (an unnamed file,
// or a short hidden name where the file system has no unnamed files) and
// takes its name only in commit(), once its data is on the disk. Until
// then, after any failure and on the signals InterruptCleanup handles, the
// folder holds what it held.
class ResultFile : public QIODevice {
public:
    ResultFile() = default;
    ~ResultFile() override;

    // Creates the file unseen in the folder `folder` (a descriptor), with
    // the permission bits `mode`, less the umask. 0, or the errno of the
    // failure.
    int create(int folder, mode_t mode);
    int descriptor() const { return m_fd; }
    FileIdentity identity() const { return m_identity; }
    // Syncs the data, then names the file `name`, replacing any file of
    // that name. 0, or the errno of the failure; then nothing has changed.
    int commit(const QByteArray &name);
    // The errno of the last failed write.
    int writeError() const { return m_writeError; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    int nameUnseen();
    void discard();

    FileSizeLimitAsError m_sizeLimit;
    int m_fd = -1;
    FileIdentity m_identity;
    int m_folder = -1;
    QByteArray m_temporaryName; // while the file has one
    int m_writeError = 0;
    off_t m_written = 0;
    off_t m_writebackStarted = 0; // where the last writeback asked for ended
};

} // namespace morvane
