#include "core/rules/line_error.h"

namespace morvane {

std::string quotedForMessage(std::string_view text)
{
    constexpr std::size_t kMaxShown = 40;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte >= 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += static_cast<char>(byte);
        }
    }
    if (text.size() > kMaxShown)
        out += "...";
    out += '"';
    return out;
}

} // namespace morvane
