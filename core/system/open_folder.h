#pragma once

#include "core/system/file_identity.h"
#include "core/system/native_name.h"
#include "core/system/system_error.h"

#include <memory>

namespace morvane {

enum class FileType { Regular, Folder, Fifo, CharacterDevice, BlockDevice, Socket, Link, Other };

// What a name in a folder holds, as it was looked at.
struct Entry {
    FileType type = FileType::Other;
    FileIdentity identity;
};

// A folder a run works in, held open by what it is rather than by its
// name, so that a name taken meanwhile cannot lead the run elsewhere.
class OpenFolder {
public:
    OpenFolder();
    ~OpenFolder();
    OpenFolder(OpenFolder &&) noexcept;
    OpenFolder &operator=(OpenFolder &&) noexcept;

    // Opens the folder `path`; an empty path is the current folder.
    SystemError open(const NativeName &path);
    // The folder was removed since it was opened: it has no name left.
    bool removed() const;
    // What `name` holds, links followed.
    SystemError lookUp(const NativeName &name, Entry &entry) const;

    // The system's own hold on the folder, for the system half.
    struct State;
    State &state() const { return *m_state; }

private:
    std::unique_ptr<State> m_state;
};

} // namespace morvane
