#pragma once

#include "core/system/result_destination.h"
#include "core/system/source_file.h"

#include <QIODevice>

#include <memory>

namespace morvane {

// The new part file. It is written where no one sees it and takes its name
// only in commit(), once its data is on the disk. Until then, after any
// failure and on the interruptions the system lets a program see, the
// folder holds what it held.
//
// What it may allow, as cp and install make files:
// - A first result takes the part's permission bits; the system then takes
//   the umask off them, or gives the folder's inherited or default ACL, as
//   for any new file. A private part gives a private result. Where the part
//   has an ACL, its group class is what the part's own group may: named
//   entries stay with the part.
// - A result that replaces an earlier one takes that file's access ACL
//   whole, and with it the mode bits.
// - Either takes the group of the file it takes its permissions from,
//   where the user may give it; where not, the group class gets no more
//   than others.
// - Never set-user-ID, set-group-ID or sticky bits: the new file is the
//   user's, whoever owned the earlier one.
// So access is never wider than the part or the earlier result gave. Other
// extended attributes are not carried: the new file has those the folder
// gives any new file.
class ResultFile : public QIODevice {
public:
    ResultFile();
    ~ResultFile() override;

    // Creates the file unseen beside `destination`, with the permissions of
    // the earlier file there or of the part `source`. 0, or the error of
    // the failure.
    SystemError create(const Destination &destination, const SourceFile &source);
    // Syncs the data, then names the file as the destination, replacing any
    // file of that name. 0, or the error of the failure; then nothing has
    // changed.
    SystemError commit();
    // The error of the last failed write.
    SystemError writeError() const;
    FileIdentity identity() const;
    bool isSequential() const override { return true; }

    struct State;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    std::unique_ptr<State> m_state;
};

} // namespace morvane
