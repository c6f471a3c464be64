#include "engine/RemoteDirectoryListing.h"

#include <algorithm>

#include "engine/TemporaryRemoteName.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpFind.h"

namespace ostrel {

RemoteDirectoryListing ListRemoteDirectory(FtpConnection& connection, const std::string& remotePath,
                                           std::optional<std::int64_t> deleteLeftoversBefore) {
  RemoteDirectoryListing listing;
  FtpFind find(connection);
  if (find.Start(remotePath + "*.*")) {
    // Stamped files carry the local file's time to the second, which a LIST
    // time shows only to the minute: such a time stands for its whole minute.
    const std::int64_t tickRest = connection.SetsFileTimes() ? find.SecondsPerTick() - 1 : 0;
    do {
      const FtpFindEntry& entry = find.Current();
      if (entry.isDotEntry) continue;
      if (entry.isDirectory) {
        listing.names.push_back({entry.name, true});
        continue;
      }
      if (IsTemporaryRemoteName(entry.name)) {
        // Left by a run that was killed in the middle of an upload. One
        // without a time is kept: it may be another run's, and if not, the
        // next upload of its page replaces it anyway.
        if (!deleteLeftoversBefore || !entry.lastWriteUtc || *entry.lastWriteUtc >= *deleteLeftoversBefore ||
            !connection.DeleteFile(remotePath + entry.name))
          listing.names.push_back({entry.name, false});
        continue;
      }
      listing.names.push_back({entry.name, false});
      // Without a time there is nothing to compare: the local file is copied.
      if (!entry.lastWriteUtc) continue;
      listing.entries.push_back({entry.name, *entry.lastWriteUtc + tickRest, entry.size, entry.mode});
    } while (find.Next());
  }
  // In byte order, as the local walk goes, so that what is deleted is said
  // in the same order on every server.
  std::sort(listing.names.begin(), listing.names.end(),
            [](const RemoteName& left, const RemoteName& right) { return left.name < right.name; });
  listing.incomplete = find.IsIncomplete();
  listing.listed = find.Listed();
  return listing;
}

}  // namespace ostrel
