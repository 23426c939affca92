#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

// Text as a message shows it: UTF-8 as it is, but each control character
// (C0, DEL, C1, the line and paragraph separators and the bidirectional
// controls) and each byte that is not
// part of valid UTF-8 as \xHH, one for each of its bytes. So a message never
// breaks a line, moves the cursor, turns its text around or names another
// file, and is itself valid UTF-8. The one rule for names and for text from
// a part or the command line alike.
std::string shownText(std::string_view text);

// Appends at most `limit` characters of `text` as shownText shows them, a
// byte that is not UTF-8 counting as one; returns how many bytes of `text`
// were shown, never part of a character.
std::size_t appendShown(std::string &out, std::string_view text, std::size_t limit);

} // namespace morvane
