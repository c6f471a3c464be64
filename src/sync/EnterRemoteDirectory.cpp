#include "publish/Publisher.h"
#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpFind.h"
#include "resources/StringTable.h"
#include "sync/LocalTimeConversion.h"
#include "sync/TemporaryRemoteName.h"

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
  remoteListingIncomplete_ = false;
  if (find.Start(remotePath + "*.*")) {
    // Stamped files carry the local file's time to the second, which a LIST
    // time shows only to the minute: such a time stands for its whole minute.
    const std::int64_t tickRest = connection.Features().mfmt ? find.SecondsPerTick() - 1 : 0;
    do {
      const FtpFindEntry& entry = find.Current();
      if (entry.isDirectory || entry.isDotEntry) continue;
      if (IsTemporaryRemoteName(entry.name)) {
        // Left by a run that was killed in the middle of an upload.
        if (Mode == PublishMode::Publish) connection.DeleteFile(entry.name);
        continue;
      }
      // Without a time there is nothing to compare: the local file is copied.
      if (!entry.lastWriteUtc) continue;
      RemoteListing.push_back({entry.name, ConvertThroughLocalTime(*entry.lastWriteUtc) + tickRest, entry.size});
    } while (find.Next());
  }
  remoteListingIncomplete_ = find.IsIncomplete();
  find.Close();
}

}  // namespace ostrel
