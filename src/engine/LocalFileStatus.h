#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

struct LocalFileStatus {
  std::int64_t size = 0;
  std::int64_t lastWriteUtc = 0;  // seconds since 1970 UTC, as the file system keeps them
};

// The status of the file a path names, links followed; false when it cannot be read.
bool ReadLocalFileStatus(const std::string& path, LocalFileStatus& status);

}  // namespace ostrel
