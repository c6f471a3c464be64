#pragma once

#include <string>

namespace ostrel {

// A page is uploaded under a temporary name beside it and renamed over it
// once complete. The name begins with a dot, so that web servers do not
// serve it, names the page, so that a leftover is recognisable, and has a
// random part of its own, so that two uploads never share one, not even of
// names that differ only in case on a server that folds case:
// ".index.htm.k3x9q2.ostrel-upload".
std::string TemporaryRemoteName(const std::string& name);
bool IsTemporaryRemoteName(const std::string& name);

}  // namespace ostrel
