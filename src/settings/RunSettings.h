#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

// The settings of a run, with the values a run takes when the settings file
// holds none. Flags count as on when nonzero.
struct RunSettings {
  std::string LocalDir;
  std::string Host;
  std::string Password;  // never stored
  std::string Name;
  std::string RemoteDir;
  std::int32_t SkipSpecialDirs = 1;
  std::string XCodeExtenstions = "htm, html, txt";
  std::int32_t Xcode = 1;
  std::int32_t NoQMarks = 1;
  std::int32_t UpdateOnly = 1;
  std::int32_t Recurse = 1;
  // Data connections: 1 tries passive first, as clients commonly do, 0
  // active first; either falls back to the other when it fails.
  std::int32_t Passive = 1;
  // Logged-on connections a run may use: one walks the tree, the others
  // upload and look ahead. Six publish a site of small pages across the
  // internet in about two thirds of the time four take; a server that allows
  // fewer logons refuses the rest, and the run goes on as fast with those.
  std::int32_t Connections = 6;
  // Remote entries that the local tree lacks are deleted once every file
  // has arrived. Off unless asked for: what it deletes is gone.
  std::int32_t DeleteRemote = 0;
  // A run that would delete more entries than this deletes none; 0: no limit.
  std::int32_t MaxDelete = 0;
  // Exclusion patterns (.gitignore syntax), ";" between them.
  std::string Exclude = {};
  // Pattern files of one run (ostrel-publish --exclude-from); never stored.
  std::vector<std::string> ExcludeFrom = {};
};

inline constexpr std::int32_t kMinimumConnections = 1;
inline constexpr std::int32_t kMaximumConnections = 16;

}  // namespace ostrel
