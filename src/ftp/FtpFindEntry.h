#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel {

// One entry of a remote directory listing.
struct FtpFindEntry {
  std::string name;  // byte for byte as the server sent it
  bool isDirectory = false;
  bool isDotEntry = false;  // "." or ".."
  // Last-write time as seconds since 1970-01-01 00:00 UTC; empty when the
  // listing gave none that could be read.
  std::optional<std::int64_t> lastWriteUtc;
  // Size in bytes; empty when the listing gave none.
  std::optional<std::int64_t> size;
  // Permission bits (07777 at most); empty when the listing shows none.
  std::optional<unsigned> mode;
};

}  // namespace ostrel
