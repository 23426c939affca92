#pragma once

#include "core/system/open_folder.h"

#include <QIODevice>

#include <memory>

namespace morvane {

// A part file opened for reading. Only a regular file opens: a FIFO or a
// device could block or never end. It is read no further than one byte
// past the size it had when opened, so a file that grows cannot keep a run
// going.
class SourceFile : public QIODevice {
public:
    SourceFile();
    ~SourceFile() override;

    // Opens `name` in `folder` as the file that `found` describes. 0, or
    // the error of the failure; kTakenOver when another file took the name
    // meanwhile.
    SystemError open(const OpenFolder &folder, const NativeName &name, const Entry &found);
    static constexpr SystemError kTakenOver = -1; // no system's code
    void close() override;
    bool isSequential() const override { return true; }

    // Its size or time of change is not what it was, or another file has
    // taken its name.
    bool changedSinceOpen() const;
    // Exactly the size it had when opened has been read.
    bool readWhole() const;

    // The system's own hold on the file, for the system half.
    struct State;
    State &state() const { return *m_state; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    std::unique_ptr<State> m_state;
};

} // namespace morvane
