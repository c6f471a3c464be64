#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/ExcludePatterns.h"
#include "settings/RunSettings.h"

namespace ostrel {

// One entry of a local directory, its status taken through links.
struct LocalEntry {
  std::string name;
  std::filesystem::file_status status;
};

// What a run does with a local entry.
enum class LocalEntryRole { File, Directory, LeftOut };

// The one rule of what a run considers: regular files (links followed), and
// subdirectories only with Recurse and, with SkipSpecialDirs, not those
// beginning with "_"; neither when an exclusion pattern leaves it out, nor
// the pattern file at the top. Pipes, sockets, devices and dangling links
// hold nothing to publish; reading a pipe would even wait forever.
// `relativeDirectory` is the entry's directory below the local one: "" at
// the top, else ending with "/".
LocalEntryRole RoleOf(const LocalEntry& entry, const std::string& relativeDirectory, const RunSettings& settings,
                      const ExcludePatterns& excluded);

// Whether the rule leaves out a local entry of that name and kind: what it
// leaves out locally is never deleted on the server either.
bool RuleLeavesOut(const std::string& name, bool isDirectory, const std::string& relativeDirectory,
                   const RunSettings& settings, const ExcludePatterns& excluded);

// The entries of one local directory in byte order of their names, so that
// runs, their output and where a stop lands are the same on every file
// system. An unreadable directory gives none, and `readWhole` (when given)
// tells whether it was read to its end.
std::vector<LocalEntry> ReadLocalDirectory(const std::string& directory, bool* readWhole = nullptr);

// Directories a walk has entered, by device and inode, so that a link back up
// the tree cannot make it recurse forever.
class EnteredDirectories {
 public:
  // False when the directory was entered before; true for a first visit and
  // for a directory that cannot be examined (the walk then finds out itself).
  bool FirstVisit(const std::string& directory);
  // Whether the directory was entered before, without counting this as a visit.
  bool Visited(const std::string& directory) const;

 private:
  std::set<std::pair<std::uint64_t, std::uint64_t>> entered_;
};

// How many files a run with these settings will consider (copy, skip or
// fail), by the run's own rule, each directory entered once: the progress
// line's "of N".
std::int64_t CountFilesToConsider(const RunSettings& settings, const ExcludePatterns& excluded);

}  // namespace ostrel
