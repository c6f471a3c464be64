#include "publish/Publisher.h"
#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpFind.h"
#include "resources/StringTable.h"
#include "sync/LocalTimeConversion.h"

namespace ostrel {

bool Publisher::EnterRemoteDirectory(FtpConnection& connection, const std::string& remotePath) {
  bool entered = connection.SetCurrentDirectory(remotePath);
  if (!entered && Mode == PublishMode::DryRun) {
    // A dry run creates nothing: the directory counts as empty, and the walk
    // does not try to make it current on its way out.
    missingRemoteDirectories_.insert(remotePath);
    currentRemotePath_ = remotePath;
    RemoteListing.clear();
    RemoteListing.shrink_to_fit();
    return true;
  }
  if (!entered) entered = connection.CreateDirectory(remotePath) && connection.SetCurrentDirectory(remotePath);
  if (!entered) {
    ShowMessage(LoadString(StringId::CannotChangeRemoteDirectory) + remotePath);
    return false;
  }

  currentRemotePath_ = remotePath;
  RemoteListing.clear();
  RemoteListing.shrink_to_fit();
  if (UpdateOnly) LoadRemoteListing(connection, remotePath);
  return true;
}

void Publisher::LoadRemoteListing(FtpConnection& connection, const std::string& remotePath) {
  FtpFind find(connection);
  if (find.Start(remotePath + "*.*")) {
    do {
      const FtpFindEntry& entry = find.Current();
      // Without a time there is nothing to compare: the local file is copied.
      if (!entry.lastWriteUtc || entry.isDirectory || entry.isDotEntry) continue;
      RemoteListing.push_back({entry.name, ConvertThroughLocalTime(*entry.lastWriteUtc)});
    } while (find.Next());
  }
  find.Close();
}

}  // namespace ostrel
