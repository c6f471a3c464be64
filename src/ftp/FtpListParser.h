#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ftp/FtpFindEntry.h"

namespace ostrel {

// Reads one line of a LIST reply, in the UNIX "ls -l" form
//   "-rw-r--r--   1 owner group 1234 Dec 06 18:15 name"   (or "Dec 06  2024")
// or the DOS form
//   "12-06-26  06:15PM       <DIR>          name"          (or "12-06-2026  18:15  1234 name").
// Times are taken as UTC with minute resolution. A date without a year gets
// the year that puts it at or before nowUtc; a day of grace allows for a
// server whose clock or zone runs ahead. The name of an ls-l line is
// everything after the single space that follows the time, byte for byte; a
// symbolic link keeps only its name, not " -> target". An entry whose date
// cannot be read has no time. Empty when the line is neither form ("total 8").
std::optional<FtpFindEntry> ParseListLine(std::string_view line, std::int64_t nowUtc);

}  // namespace ostrel
