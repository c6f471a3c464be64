#include "engine/LocalTree.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

namespace ostrel {
namespace {

std::int64_t CountIn(const std::string& directory, const std::string& relativeDirectory, const RunSettings& settings,
                     const ExcludePatterns& excluded, EnteredDirectories& entered) {
  if (!entered.FirstVisit(directory)) return 0;
  std::int64_t count = 0;
  for (const LocalEntry& entry : ReadLocalDirectory(directory)) {
    switch (RoleOf(entry, relativeDirectory, settings, excluded)) {
      case LocalEntryRole::File:
        ++count;
        break;
      case LocalEntryRole::Directory:
        count +=
            CountIn(directory + "/" + entry.name, relativeDirectory + entry.name + "/", settings, excluded, entered);
        break;
      case LocalEntryRole::LeftOut:
        break;
    }
  }
  return count;
}

}  // namespace

LocalEntryRole RoleOf(const LocalEntry& entry, const std::string& relativeDirectory, const RunSettings& settings,
                      const ExcludePatterns& excluded) {
  const bool isDirectory = std::filesystem::is_directory(entry.status);
  if (!isDirectory && !std::filesystem::is_regular_file(entry.status)) return LocalEntryRole::LeftOut;
  if (RuleLeavesOut(entry.name, isDirectory, relativeDirectory, settings, excluded)) return LocalEntryRole::LeftOut;
  return isDirectory ? LocalEntryRole::Directory : LocalEntryRole::File;
}

bool RuleLeavesOut(const std::string& name, bool isDirectory, const std::string& relativeDirectory,
                   const RunSettings& settings, const ExcludePatterns& excluded) {
  if (isDirectory && (!settings.Recurse || (settings.SkipSpecialDirs && name.front() == '_'))) return true;
  if (!isDirectory && relativeDirectory.empty() && name == kIgnoreFileName) return true;
  return excluded.Excludes(relativeDirectory + name, isDirectory);
}

std::vector<LocalEntry> ReadLocalDirectory(const std::string& directory, bool* readWhole) {
  std::vector<LocalEntry> entries;
  std::error_code error;
  std::filesystem::directory_iterator iterator(directory, error);
  for (; !error && iterator != std::filesystem::directory_iterator(); iterator.increment(error)) {
    std::string name = iterator->path().filename().string();
    if (name.empty() || name == "." || name == "..") continue;
    std::error_code statusError;
    entries.push_back({std::move(name), iterator->status(statusError)});
  }
  if (readWhole != nullptr) *readWhole = !error;
  std::sort(entries.begin(), entries.end(),
            [](const LocalEntry& left, const LocalEntry& right) { return left.name < right.name; });
  return entries;
}

bool EnteredDirectories::FirstVisit(const std::string& directory) {
  struct stat status {};
  if (::stat(directory.c_str(), &status) != 0) return true;
  return entered_.emplace(static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)).second;
}

bool EnteredDirectories::Visited(const std::string& directory) const {
  struct stat status {};
  if (::stat(directory.c_str(), &status) != 0) return false;
  return entered_.contains({static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)});
}

std::int64_t CountFilesToConsider(const RunSettings& settings, const ExcludePatterns& excluded) {
  if (settings.LocalDir.empty()) return 0;
  EnteredDirectories entered;
  return CountIn(settings.LocalDir, "", settings, excluded, entered);
}

}  // namespace ostrel
