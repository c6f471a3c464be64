#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/RemoteEntry.h"

namespace ostrel {

class FtpConnection;

// One name a remote directory holds, file or directory, with or without a time.
struct RemoteName {
  std::string name;
  bool isDirectory = false;
};

// The files of one remote directory, as the update decision and the pages
// replaced (for their permissions) need them.
struct RemoteDirectoryListing {
  std::vector<RemoteEntry> entries;
  // Everything listed but "." and "..", in byte order: what deleting the
  // remote entries that the local tree lacks chooses from.
  std::vector<RemoteName> names;
  // The server cut the listing short: a file missing from it may still exist.
  bool incomplete = false;
  // The server sent a listing, empty or not, rather than refusing one.
  bool listed = false;
};

// A temporary copy younger than this may be the upload in progress of a run
// on another machine (runs on this one exclude each other with a RunLock):
// only an older one counts as left by a killed run.
inline constexpr std::int64_t kLeftoverAge = 3600;

// The time before which a run that began at runStartUtc deletes leftovers.
inline std::int64_t LeftoversBefore(std::int64_t runStartUtc) { return runStartUtc - kLeftoverAge; }

// Lists remotePath (absolute, ending with "/") without entering it. Temporary
// copies are never listed; those the listing dates before
// `deleteLeftoversBefore` (seconds since 1970 UTC) are deleted, and without
// it none. A listing that fails counts as empty.
RemoteDirectoryListing ListRemoteDirectory(FtpConnection& connection, const std::string& remotePath,
                                           std::optional<std::int64_t> deleteLeftoversBefore);

}  // namespace ostrel
