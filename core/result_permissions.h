#pragma once

#include <QByteArray>

#include <sys/stat.h>

namespace morvane {

// What a new result may allow, as cp and install make files:
// - A first result takes the source's permission bits; the kernel then
//   takes the umask off them, or gives the folder's default ACL, as for
//   any new file. A private part gives a private result.
// - A result that replaces an earlier one takes that file's access ACL
//   whole, and with it the mode bits, and its owning group where the user
//   may give it; where not, the group class gets no more than others.
// - Never set-user-ID, set-group-ID or sticky bits: the new file is the
//   user's, whoever owned the earlier one.
// So access is never wider than the source or the earlier result gave.
// Other extended attributes are not carried: the new file has those the
// folder gives any new file.

// The permission bits a first result is created with.
inline mode_t firstResultMode(mode_t sourceMode) { return sourceMode & 0777; }

// A replacing result is created with these, to be widened to the earlier
// file's by carryPermissions before anything is written.
inline constexpr mode_t kReplacingResultMode = 0600;

// Gives the new file `fd` the permissions of `earlier`, the file `name` in
// `folder`. 0, or the errno of the failure.
int carryPermissions(int fd, int folder, const QByteArray &name, const struct stat &earlier);

} // namespace morvane
