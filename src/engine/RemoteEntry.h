#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel {

// One remote file of the directory last entered.
struct RemoteEntry {
  std::string FileName;  // exactly as the listing gave it
  // Seconds since 1970 UTC. Compared as such: a way through local time
  // would make the hour repeated when daylight saving ends one hour.
  std::int64_t WriteTime = 0;
  std::optional<std::int64_t> Size;
  std::optional<unsigned> Mode;  // permission bits, where the listing shows them
};

}  // namespace ostrel
