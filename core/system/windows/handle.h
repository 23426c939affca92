#pragma once

#include "core/system/native_name.h"
#include "core/system/system_error.h"

#include <windows.h>

#include <utility>

namespace morvane {

// A handle, closed on the way out; none for INVALID_HANDLE_VALUE.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    Handle(Handle &&other) noexcept : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE)) {}
    Handle &operator=(Handle &&other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    ~Handle() { close(); }

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    // False where closing reports a failure, as a network drive may.
    bool close() { return !valid() || ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)); }

private:
    HANDLE m_handle;
};

// The failure of the last call that failed on this thread.
inline SystemError lastError() { return static_cast<SystemError>(::GetLastError()); }

// A path the wide calls take whatever its length: absolute, with the
// prefix \\?\ that lifts the 260-character limit (\\?\UNC\ for a share).
std::wstring longPath(const NativeName &path);
// `name` in the folder `folder`, such a path already: a drive's root ends
// in its separator.
inline std::wstring inFolder(const std::wstring &folder, const NativeName &name)
{
    return (folder.ends_with(L'\\') ? folder : folder + L'\\') + name.toStdWString();
}

// Opens `path` as it is, not through a link at its end, for looking at
// only.
inline Handle openForLooking(const std::wstring &path, DWORD more = 0)
{
    return Handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | more, nullptr));
}

} // namespace morvane
