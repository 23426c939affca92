#include "core/rules/shown_text.h"

namespace morvane {

namespace {

// The length of the valid UTF-8 sequence `text` begins with, and the
// character it holds; a length of 0 where it begins with none.
struct Character {
    std::size_t length = 0;
    char32_t code = 0;
};

Character firstCharacter(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80)
        return {1, lead};
    // The length a lead byte announces, the bits it carries, and the least
    // character that needs that length: less is an overlong form.
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC0 || lead >= 0xF8 || text.size() < length)
        return {};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return {};
        code = code << 6 | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {length, code};
}

// C0, DEL and C1; the line and paragraph separators, which break a line
// as a line feed does; and Unicode's bidirectional controls: the marks, the
// embeddings and overrides, and the isolates.
bool isControl(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x61C || code == 0x200E || code == 0x200F
        || (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

void appendEscaped(std::string &out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
}

} // namespace

std::size_t appendShown(std::string &out, std::string_view text, std::size_t limit)
{
    std::size_t at = 0;
    for (std::size_t shown = 0; at < text.size() && shown < limit; ++shown) {
        const Character character = firstCharacter(text.substr(at));
        const std::string_view bytes = text.substr(at, character.length == 0 ? 1 : character.length);
        if (character.length == 0 || isControl(character.code))
            appendEscaped(out, bytes);
        else
            out += bytes;
        at += bytes.size();
    }
    return at;
}

std::string shownText(std::string_view text)
{
    std::string out;
    appendShown(out, text, text.size());
    return out;
}

} // namespace morvane
