#include "engine/Publisher.h"
#include "engine/RemoteDirectoryListing.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"
#include "resources/StringTable.h"

namespace ostrel {

bool Publisher::EnterRemoteDirectory(FtpConnection& connection, const std::string& remotePath) {
  currentRemotePath_ = remotePath;
  RemoteListing.clear();
  RemoteListing.shrink_to_fit();
  remoteIndexed_ = false;
  remoteListingIncomplete_ = false;
  remoteNames_.clear();
  remoteNamesWhole_ = true;
  std::optional<PreparedDirectory> prepared;
  if (uploadPool_) {
    prepared = AwaitPrepared(remotePath);
    if (prepared && prepared->entered) {
      if (ListsDirectories()) SayWhatTheListingLacks(prepared->listing, remotePath);
      TakeListing(prepared->listing);
      return true;
    }
  }

  // Where another connection was just refused, the directory is made at
  // once; only if that fails is entering it tried again.
  const bool knownMissing = prepared && prepared->refused;
  bool created = knownMissing && connection.CreateDirectory(remotePath);
  bool entered = !created && connection.SetCurrentDirectory(remotePath);
  if (!entered && !created && Mode == PublishMode::DryRun) {
    // A dry run creates nothing: the directory counts as empty.
    return true;
  }
  // A directory just made is empty: there is nothing to list. Uploads enter
  // it when they need to.
  if (!entered && !created && !knownMissing) created = connection.CreateDirectory(remotePath);
  // A refused MKD may come from a directory made meanwhile: by this MKD
  // itself when its answer was lost with the connection, or by another run.
  if (!entered && !created && !connection.IsBroken()) entered = connection.SetCurrentDirectory(remotePath);
  if (!entered && !created) {
    if (connection.LastError().Code() != FtpError::kStopped)
      ShowMessage(LoadString(StringId::CannotChangeRemoteDirectory) + EscapeControlCharacters(remotePath));
    return false;
  }
  // Publishing lists a directory that existed even when every file is to be
  // copied: pages renamed over keep the permissions the listing shows.
  if (ListsDirectories() && !created) {
    RemoteDirectoryListing listing =
        ListRemoteDirectory(connection, remotePath,
                            Mode == PublishMode::Publish ? std::optional(LeftoversBefore(runStartUtc_)) : std::nullopt);
    SayWhatTheListingLacks(listing, remotePath);
    TakeListing(listing);
  }
  return true;
}

void Publisher::TakeListing(RemoteDirectoryListing& listing) {
  RemoteListing = std::move(listing.entries);
  remoteListingIncomplete_ = listing.incomplete;
  remoteNames_ = std::move(listing.names);
  remoteNamesWhole_ = listing.listed && !listing.incomplete;
}

// Once a run each: a listing that failed, or that the server cut short,
// changes what "only newer" copies without any other sign.
void Publisher::SayWhatTheListingLacks(const RemoteDirectoryListing& listing, const std::string& remotePath) {
  if (!settings_.UpdateOnly || !Running) return;
  if (!listing.listed && !listingFailureSaid_) {
    listingFailureSaid_ = true;
    ShowStatus(FormatText(Translate("The server did not list %s: every file there is copied."),
                          {EscapeControlCharacters(remotePath)}));
  } else if (listing.incomplete && !listingCutSaid_) {
    listingCutSaid_ = true;
    ShowStatus(
        FormatText(Translate("The server cut the listing of %s short: files missing from it are asked for one by one."),
                   {EscapeControlCharacters(remotePath)}));
  }
}

}  // namespace ostrel
