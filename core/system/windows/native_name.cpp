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
    if (given.starts_with(L"\\\\?\\"))
        return given;
    const DWORD size = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    full.resize(::GetFullPathNameW(given.c_str(), size, full.data(), nullptr));
    while (full.size() > 3 && full.ends_with(L'\\'))
        full.pop_back();
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace morvane
