#include "core/system/system_error.h"

#include <windows.h>

namespace morvane {

ErrorKind kindOf(SystemError error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ErrorKind::FileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return ErrorKind::PermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ErrorKind::DiskFull;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return ErrorKind::PathError;
    default:
        return ErrorKind::IoError;
    }
}

QString errorText(SystemError error)
{
    wchar_t *text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString words = length ? QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed()
                           : QStringLiteral("Error %1").arg(error);
    ::LocalFree(text);
    // The messages end in a full stop, which ours add themselves.
    if (words.endsWith(u'.'))
        words.chop(1);
    return words;
}

} // namespace morvane
