#include "engine/LocalTree.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

namespace ostrel {
namespace {

std::int64_t CountIn(const std::string& directory, const RunSettings& settings, EnteredDirectories& entered) {
  if (!entered.FirstVisit(directory)) return 0;
  std::int64_t count = 0;
  for (const LocalEntry& entry : ReadLocalDirectory(directory)) {
    switch (RoleOf(entry, settings)) {
      case LocalEntryRole::File:
        ++count;
        break;
      case LocalEntryRole::Directory:
        count += CountIn(directory + "/" + entry.name, settings, entered);
        break;
      case LocalEntryRole::LeftOut:
        break;
    }
  }
  return count;
}

}  // namespace

LocalEntryRole RoleOf(const LocalEntry& entry, const RunSettings& settings) {
  if (std::filesystem::is_regular_file(entry.status)) return LocalEntryRole::File;
  if (!std::filesystem::is_directory(entry.status) || !settings.Recurse) return LocalEntryRole::LeftOut;
  if (settings.SkipSpecialDirs && entry.name.front() == '_') return LocalEntryRole::LeftOut;
  return LocalEntryRole::Directory;
}

std::vector<LocalEntry> ReadLocalDirectory(const std::string& directory) {
  std::vector<LocalEntry> entries;
  std::error_code error;
  std::filesystem::directory_iterator iterator(directory, error);
  for (; !error && iterator != std::filesystem::directory_iterator(); iterator.increment(error)) {
    std::string name = iterator->path().filename().string();
    if (name.empty() || name == "." || name == "..") continue;
    std::error_code statusError;
    entries.push_back({std::move(name), iterator->status(statusError)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const LocalEntry& left, const LocalEntry& right) { return left.name < right.name; });
  return entries;
}

bool EnteredDirectories::FirstVisit(const std::string& directory) {
  struct stat status {};
  if (::stat(directory.c_str(), &status) != 0) return true;
  return entered_.emplace(static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)).second;
}

std::int64_t CountFilesToConsider(const RunSettings& settings) {
  if (settings.LocalDir.empty()) return 0;
  EnteredDirectories entered;
  return CountIn(settings.LocalDir, settings, entered);
}

}  // namespace ostrel
