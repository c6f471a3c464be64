#pragma once

#include <optional>
#include <string_view>

#include "publish/ftp/FtpFindEntry.h"

namespace ostrel {

// Reads one line of an MLSD listing ("type=file;size=12;modify=20261206181500; name").
// The name is everything after the first space, byte for byte; modify= is
// UTC with exact seconds. type=cdir and type=pdir (the listed directory and
// its parent) are dot entries. Empty when the line has no facts or no name.
std::optional<FtpFindEntry> ParseMlsdLine(std::string_view line);

}  // namespace ostrel
