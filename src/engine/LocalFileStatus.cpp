#include "engine/LocalFileStatus.h"

#include <sys/stat.h>

namespace ostrel {

bool ReadLocalFileStatus(const std::string& path, LocalFileStatus& status) {
  struct stat fileStatus {};
  if (::stat(path.c_str(), &fileStatus) != 0) return false;
  status.size = static_cast<std::int64_t>(fileStatus.st_size);
  status.lastWriteUtc = static_cast<std::int64_t>(fileStatus.st_mtim.tv_sec);
  return true;
}

}  // namespace ostrel
