#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ftp/FtpFindEntry.h"

namespace ostrel {

// Reads one line of an MLSD listing ("type=file;size=12;modify=20261206181500; name").
// The name is everything after the first space, byte for byte; modify= is
// UTC with exact seconds. type=cdir and type=pdir (the listed directory and
// its parent) are dot entries. Empty when the line has no facts or no name.
std::optional<FtpFindEntry> ParseMlsdLine(std::string_view line);

// "YYYYMMDDHHMMSS[.fraction]", UTC, as MLSD's modify= and MDTM's reply give it.
std::optional<std::int64_t> ParseModifyTime(std::string_view value);
// A size in decimal digits, as MLSD's size=, SIZE's reply and LIST give it.
std::optional<std::int64_t> ParseSize(std::string_view digits);

}  // namespace ostrel
