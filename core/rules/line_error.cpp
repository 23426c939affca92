#include "core/rules/line_error.h"

#include "core/rules/shown_text.h"

namespace morvane {

std::string quotedForMessage(std::string_view text)
{
    constexpr std::size_t kMaxShown = 40;
    std::string out = "\"";
    if (appendShown(out, text, kMaxShown) < text.size())
        out += "...";
    out += '"';
    return out;
}

} // namespace morvane
