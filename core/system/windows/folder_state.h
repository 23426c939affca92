#pragma once

#include "core/system/open_folder.h"
#include "core/system/windows/handle.h"

namespace morvane {

// An open folder is its long path, and a handle that keeps it from being
// taken away unseen.
struct OpenFolder::State {
    std::wstring path;
    Handle handle;
};

inline const std::wstring &pathOf(const OpenFolder &folder) { return folder.state().path; }

// Which file the system says it is: its volume and its index there.
inline FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info)
{
    return {info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// What an open handle is, and which file: the type a name holds.
Entry entryOf(HANDLE file);

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, whatever follows a
// dot or what case they are in, are devices, not files.
bool isDeviceName(const NativeName &name);

} // namespace morvane
