#pragma once

#include <string>
#include <vector>

#include "sync/RemoteEntry.h"

namespace ostrel {

class FtpConnection;

// The files of one remote directory, as the update decision and the pages
// replaced (for their permissions) need them.
struct RemoteDirectoryListing {
  std::vector<RemoteEntry> entries;
  // The server cut the listing short: a file missing from it may still exist.
  bool incomplete = false;
  // The server sent a listing, empty or not, rather than refusing one.
  bool listed = false;
};

// Lists remotePath (absolute, ending with "/") without entering it. Temporary
// copies that a killed run left behind are not listed, and are deleted when
// `deleteLeftovers`. A listing that fails counts as empty.
RemoteDirectoryListing ListRemoteDirectory(FtpConnection& connection, const std::string& remotePath,
                                           bool deleteLeftovers);

}  // namespace ostrel
