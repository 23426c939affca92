#pragma once

#include <QByteArray>

#include <sys/stat.h>

namespace morvane {

// What a new result may allow, as cp and install make files:
// - A first result takes the part's permission bits; the kernel then takes
//   the umask off them, or gives the folder's default ACL, as for any new
//   file. A private part gives a private result. Where the part has an
//   ACL, its group class is what the part's own group may: named entries
//   stay with the part.
// - A result that replaces an earlier one takes that file's access ACL
//   whole, and with it the mode bits.
// - Either takes the group of the file it takes its permissions from,
//   where the user may give it; where not, the group class gets no more
//   than others.
// - Never set-user-ID, set-group-ID or sticky bits: the new file is the
//   user's, whoever owned the earlier one.
// So access is never wider than the part or the earlier result gave.
// Other extended attributes are not carried: the new file has those the
// folder gives any new file.

// The permission bits a first result is created with, for the part open
// as `source`. 0, or the errno of the failure.
int firstResultMode(int source, const struct stat &part, mode_t &mode);
// Gives the new file `fd` the group of `model`, the file it takes its
// permissions from, as above.
int keepGroup(int fd, const struct stat &model);

// A replacing result is created with these, to be widened to the earlier
// file's by carryPermissions before anything is written.
inline constexpr mode_t kReplacingResultMode = 0600;

// Gives the new file `fd` the permissions of `earlier`, the file `name` in
// `folder`. 0, or the errno of the failure.
int carryPermissions(int fd, int folder, const QByteArray &name, const struct stat &earlier);

} // namespace morvane
