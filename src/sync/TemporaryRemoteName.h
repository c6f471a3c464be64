#pragma once

#include <string>

namespace ostrel {

// A page is uploaded under a temporary name beside it and renamed over it
// once complete. The name begins with a dot, so that web servers do not
// serve it, and names the page, so that a leftover is recognisable:
// ".index.htm.ostrel-upload".
std::string TemporaryRemoteName(const std::string& name);
bool IsTemporaryRemoteName(const std::string& name);

}  // namespace ostrel
