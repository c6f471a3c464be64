#include "cli/LocalFileCount.h"

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <utility>

namespace ostrel {
namespace {

using DirectoryIdentity = std::pair<std::uint64_t, std::uint64_t>;

std::int64_t CountIn(const std::filesystem::path& directory, const RunSettings& settings,
                     std::set<DirectoryIdentity>& entered) {
  struct stat status {};
  // A link back up the tree would otherwise be walked forever.
  if (::stat(directory.c_str(), &status) == 0 &&
      !entered.emplace(static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)).second)
    return 0;
  std::int64_t count = 0;
  std::error_code error;
  std::filesystem::directory_iterator iterator(directory, error);
  for (; !error && iterator != std::filesystem::directory_iterator(); iterator.increment(error)) {
    std::error_code statusError;
    const std::filesystem::file_status entryStatus = iterator->status(statusError);
    const std::string name = iterator->path().filename().string();
    if (std::filesystem::is_regular_file(entryStatus))
      ++count;
    else if (std::filesystem::is_directory(entryStatus) && settings.Recurse && !name.empty() &&
             !(settings.SkipSpecialDirs && name.front() == '_'))
      count += CountIn(iterator->path(), settings, entered);
  }
  return count;
}

}  // namespace

std::int64_t CountFilesToConsider(const RunSettings& settings) {
  if (settings.LocalDir.empty()) return 0;
  std::set<DirectoryIdentity> entered;
  return CountIn(settings.LocalDir, settings, entered);
}

}  // namespace ostrel
