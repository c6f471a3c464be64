#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/LocalTree.h"
#include "engine/Publisher.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "resources/StringTable.h"

namespace ostrel {
namespace {

// Deeper, the listings would hold up the uploads behind them.
constexpr int kLevelsPreparedAhead = 2;

}  // namespace

void Publisher::PublishDirectory(FtpConnection& connection, std::string relativePath) {
  if (!Running) return;
  TakeConfirmedOptions();
  if (!relativePath.empty() && relativePath.back() != '/') relativePath += '/';

  std::string remotePath = settings_.RemoteDir + relativePath;
  std::replace(remotePath.begin(), remotePath.end(), '\\', '/');
  if (!EnterRemoteDirectory(connection, remotePath)) RaiseFtpError(connection);

  const std::string localDirectory = settings_.LocalDir + relativePath;
  bool localReadWhole = true;
  const std::vector<LocalEntry> entries = ReadLocalDirectory(localDirectory, &localReadWhole);
  if (relativePath.empty())
    localRootEmpty_ = !localReadWhole || std::none_of(entries.begin(), entries.end(), [&](const LocalEntry& entry) {
      return RoleOf(entry, relativePath, settings_, excluded_) != LocalEntryRole::LeftOut;
    });
  if (deleting_) NoteRemoteLeftovers(relativePath, remotePath, entries, localReadWhole);
  if (uploadPool_) PrepareAhead(relativePath, remotePath, entries, kLevelsPreparedAhead);

  std::vector<std::string> subdirectories;
  for (const LocalEntry& entry : entries) {
    if (!Running) break;
    TakeConfirmedOptions();
    switch (RoleOf(entry, relativePath, settings_, excluded_)) {
      case LocalEntryRole::Directory:
        subdirectories.push_back(entry.name);
        break;
      // A failure is that file's own: the level goes on.
      case LocalEntryRole::File:
        UploadFile(connection, localDirectory + entry.name, entry.name);
        break;
      case LocalEntryRole::LeftOut:
        break;
    }
  }

  for (const std::string& name : subdirectories) {
    TakeConfirmedOptions();
    if (!Running || !settings_.Recurse) break;
    if (enteredDirectories_.FirstVisit(localDirectory + name)) PublishDirectory(connection, relativePath + name);
  }
}

// The extra connections enter (and list) the subdirectories while this
// level's files go out, and those below the ones that exist, in the order the
// walk comes to them: an unchanged site then waits for no listing of its own.
// Only a hint: which of them are walked is decided as the walk comes to each.
void Publisher::PrepareAhead(const std::string& relativePath, const std::string& remotePath,
                             const std::vector<LocalEntry>& entries, int levels) {
  for (const LocalEntry& entry : entries) {
    if (RoleOf(entry, relativePath, settings_, excluded_) != LocalEntryRole::Directory) continue;
    std::string subdirectory = remotePath + entry.name + "/";
    std::replace(subdirectory.begin(), subdirectory.end(), '\\', '/');
    // What the listing of the directory entered tells is only about its own
    // entries; one the walk will not enter (a link back up the tree) is not made.
    const std::string localDirectory = settings_.LocalDir + relativePath + entry.name;
    const bool missing = levels == kLevelsPreparedAhead && IsKnownMissing(entry.name);
    if (preparedAhead_.insert(subdirectory).second)
      uploadPool_->Prepare(subdirectory, missing && !enteredDirectories_.Visited(localDirectory) ? Preparing::Create
                                         : ListsDirectories() ? Preparing::EnterAndList
                                                              : Preparing::Enter);
    // Below a directory still to be made there is nothing to list.
    if (!missing && levels > 1)
      PrepareAhead(relativePath + entry.name + "/", subdirectory, ReadLocalDirectory(localDirectory + "/"), levels - 1);
  }
}

// The listing of the directory entered was whole (or it was just made) and
// lacks the name: making it is all entering it takes.
bool Publisher::IsKnownMissing(const std::string& name) const {
  return ListsDirectories() && remoteNamesWhole_ &&
         std::none_of(remoteNames_.begin(), remoteNames_.end(),
                      [&](const RemoteName& remote) { return remote.name == name; });
}

void Publisher::RaiseFtpError(const FtpConnection& connection) { throw connection.LastError(); }

}  // namespace ostrel
