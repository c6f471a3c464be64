#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace ostrel::test {

// A whole tree in one value: relative path ("docs/a.htm", "docs/" for a
// directory) to the file's bytes, so one comparison asserts a whole publish.
using TreeSnapshot = std::map<std::string, std::string>;

TreeSnapshot Snapshot(const std::filesystem::path& root);

// Builds the sample site the end-to-end tests publish: nested directories, a
// "_private" directory and a "_notes.txt" file, a hidden and a read-only file,
// empty directories, names with spaces and Cyrillic UTF-8 bytes. Every file
// is dated an hour back, so a listing with minute times still sees the
// published copies as newer.
void MakeSampleSite(const std::filesystem::path& root);

// Sets a file's last-write time to the given seconds since the epoch.
void SetLastWriteTime(const std::filesystem::path& path, std::int64_t seconds);
std::int64_t LastWriteTime(const std::filesystem::path& path);

// Leaves out every entry whose path starts with one of the prefixes.
TreeSnapshot Without(TreeSnapshot tree, std::initializer_list<std::string> prefixes);

}  // namespace ostrel::test
