#pragma once

#include "core/rules/line_error.h"

#include <QString>

namespace morvane {

// A failure as the system reports it: errno on POSIX, GetLastError() on
// Windows; 0 for none. Functions of the system half return it.
using SystemError = int;

// The kind of failure a system error is, and the system's own words for it.
ErrorKind kindOf(SystemError error);
QString errorText(SystemError error);

} // namespace morvane
