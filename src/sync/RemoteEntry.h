#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel {

// One remote file of the directory last entered.
struct RemoteEntry {
  std::string FileName;        // exactly as the listing gave it
  std::int64_t WriteTime = 0;  // seconds, converted through local time
  std::optional<std::int64_t> Size;
  std::optional<unsigned> Mode;  // permission bits, where the listing shows them
};

}  // namespace ostrel
