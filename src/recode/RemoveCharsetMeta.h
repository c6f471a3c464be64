#pragma once

#include <cstddef>

namespace ostrel {

// Removes from an HTML text every META tag that declares a content type with a
// charset, since the declaration would be wrong once the page is recoded.
//
// `text` holds `length` bytes and has room for one more: a zero byte is
// written at text[length], and the text is treated as a zero-terminated
// string, so nothing after an embedded zero byte is examined. `length` shrinks
// by the length of each removed tag; the bytes after a tag move left and a
// zero byte follows the new end.
//
// A tag runs from a "<" to the first ">" after it, even when that ">" stands
// inside a quoted value. It is examined when the "<" stands at position 5 or
// later and is followed directly by "meta" in any letter case (so "<metax"
// qualifies and "< meta" does not). It is removed when, compared without
// regard to ASCII letter case, it contains "HTTP-EQUIV", "CHARSET" and
// "CONTENT" anywhere, in attribute names or values alike. A candidate "<meta"
// without any ">" after it ends the scan. Nothing around a removed tag goes:
// the line break after it stays.
void RemoveCharsetMeta(char* text, std::size_t& length);

}  // namespace ostrel
