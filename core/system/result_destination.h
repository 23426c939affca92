#pragma once

#include "core/system/open_folder.h"

#include <optional>

namespace morvane {

// Why the new file is not written where its name leads.
enum class Obstacle {
    None,
    NotRegular, // the name holds a folder, FIFO, device or socket
    LinkOfAnother, // the name, or a link it leads through, is another user's link
    LinkToAnother, // it is a link to another user's file
    LinkToNothing, // it is a link that leads to no file
    LinkToNotRegular, // it is a link to a folder, FIFO, device or socket
    ReadOnly, // the file there may not be written
    OthersInStickyFolder, // another user's file in a folder where only its owner may replace it
    AppendOnly, // the file there may only be added to
    Immutable, // the file there may not be changed at all
    Link, // a link where links are never followed: Windows gives them no owner to trust
};

// Where the new file goes: its name in the part's folder or, where that
// name is a symbolic link, the file the link leads to. A link is followed
// only where it, and every link it leads through, is the user's own and it
// ends at a regular file of the user's own, so that a link planted in a
// shared folder never has a run replace another file. Nothing but a
// regular file is ever replaced.
struct Destination {
    OpenFolder folder; // the folder that holds `name`
    NativeName name;
    std::optional<Entry> earlier; // what is there now, if anything
    int links = 0; // links followed to get there
    Obstacle obstacle = Obstacle::None;
};

// Looks up `name` in `folder`: 0, or the error of a lookup that failed; a
// destination with an obstacle is not to be written.
SystemError findDestination(const OpenFolder &folder, const NativeName &name, Destination &destination);

} // namespace morvane
