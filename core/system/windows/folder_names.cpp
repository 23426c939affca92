#include "core/system/folder_names.h"

#include "core/system/windows/folder_state.h"

namespace morvane {

// Names are UTF-16 text on Windows: the text is the name.
QString nameText(const NativeName &name) { return name; }

std::optional<NativeName> nameIn(const NativeName &, const QString &text) { return text; }

std::optional<NativeName> folderPathFor(const QString &folder) { return folder; }

QList<NativeName> visibleFileNames(const NativeName &folder)
{
    QList<NativeName> names;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = inFolder(longPath(folder), QStringLiteral("*"));
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    constexpr DWORD kNotListed =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (!(found.dwFileAttributes & kNotListed) && !name.startsWith(u'.') && !isDeviceName(name))
            names << name;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

} // namespace morvane
