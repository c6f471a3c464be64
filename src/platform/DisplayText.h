#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// The text with every control character (bytes below 0x20 and DEL) written
// out as an escape: "\n", "\r" and "\t" by name, the rest as "\xHH". A name
// or a server reply shown on a terminal or in a log could otherwise move the
// cursor, retitle the window, or forge lines of its own. Every other byte,
// including those of UTF-8 and single-byte code pages, stays as it is.
std::string EscapeControlCharacters(std::string_view text);

// An amount of bytes as people read it: "512 B", "290.6 KiB", "1.2 GiB".
std::string FormatBytes(double bytes);

}  // namespace ostrel
