#pragma once

#include <string>

namespace ostrel {

// True when the file name's extension (the bytes after its last ".") occurs
// anywhere in the extension list as a contiguous, case-sensitive run of bytes.
// The list is searched as one piece of text, not split at its commas: with
// "htm, html, txt" the extensions h, ml and tx match too, and with "html" a
// file a.htm does. Users rely on that loose match, so it stays. A name without
// a ".", or ending in one, never matches.
bool IsRecodedExtension(const std::string& name, const std::string& extensions);

}  // namespace ostrel
