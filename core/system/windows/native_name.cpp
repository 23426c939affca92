#include "core/system/native_name.h"

#include "core/system/windows/handle.h"

#include <string_view>

namespace morvane {

NativeName nativeName(const QString &text) { return text; }

bool isPlainName(const NativeName &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && !name.contains(u':')
        && !name.contains(QChar(0));
}

std::optional<std::string> headerText(const NativeName &name)
{
    const std::wstring wide = name.toStdWString();
    if (wide.empty())
        return std::string();
    // Never a '?' or a look-alike in place of a letter the code page lacks.
    const UINT codePage = ::GetACP();
    const bool utf8 = codePage == CP_UTF8;
    BOOL lost = FALSE;
    const auto convert = [&](char *out, int room) {
        return ::WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide.data(),
                                     static_cast<int>(wide.size()), out, room, nullptr, utf8 ? nullptr : &lost);
    };
    const int size = convert(nullptr, 0);
    if (size <= 0 || lost)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    convert(text.data(), size);
    return text;
}

std::wstring longPath(const NativeName &path)
{
    const std::wstring given = (path.isEmpty() ? QStringLiteral(".") : path).toStdWString();
    std::wstring full;
    // \\?\ paths are taken as they are, uncleaned, as Windows takes them.
    if (given.starts_with(L"\\\\?\\")) {
        full = given;
    } else {
        const DWORD size = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
        full.resize(size);
        full.resize(::GetFullPathNameW(given.c_str(), size, full.data(), nullptr));
        if (full.starts_with(L"\\\\.\\"))
            full = L"\\\\?\\" + full.substr(4);
        else if (full.starts_with(L"\\\\"))
            full = L"\\\\?\\UNC\\" + full.substr(2);
        else
            full = L"\\\\?\\" + full;
    }
    // No separator at the end, but for a drive's root: \\?\C: is the
    // volume itself, not its root folder.
    while (full.ends_with(L'\\') && !(full.size() == 7 && full[5] == L':'))
        full.pop_back();
    return full;
}

} // namespace morvane
