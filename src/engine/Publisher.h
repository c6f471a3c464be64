#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/ExcludePatterns.h"
#include "engine/FileUploader.h"
#include "engine/LocalTree.h"
#include "engine/PublisherUserInterface.h"
#include "engine/RemoteEntry.h"
#include "engine/RunResult.h"
#include "engine/UploadJob.h"
#include "engine/UploadPool.h"
#include "ftp/FtpTimeouts.h"
#include "settings/RunSettings.h"

namespace ostrel {

class FtpConnection;
class FtpSession;
struct LocalFileStatus;

// A remote entry that the local tree lacks.
struct RemoteLeftover {
  std::string remotePath;    // absolute, with slashes; a directory's ends with "/"
  std::string relativePath;  // below the remote directory, as the local rule sees it
  bool isDirectory = false;
};

// How a run treats the server: a publish changes it; a dry run only looks
// (logs on, enters and lists what exists) and reports what it would copy.
enum class PublishMode { Publish, DryRun };

// The walk of a run: it decides, in order and on the run's own connection,
// what each local entry needs, and hands uploads to the FileUploader (here or
// on an extra connection). The window and the headless publisher each hold
// one and implement PublisherUserInterface for it.
//
// A run works on its own copy of the settings, taken when it starts; options
// confirmed during the run reach it only through ApplyOptions.
class Publisher {
 public:
  Publisher(PublisherUserInterface& userInterface, std::string applicationName);
  virtual ~Publisher() = default;
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  // Run state. Clearing Running asks the run to stop after the current file.
  // Atomic, because a stop signal's handler clears it in the middle of any
  // step, and lock-free, so that doing so is safe there.
  std::atomic<std::int32_t> Running = 0;
  std::int64_t TotalCopied = 0;
  std::vector<RemoteEntry> RemoteListing;

  // Not settings of the dialog: the headless publisher and tests set them.
  PublishMode Mode = PublishMode::Publish;
  FtpTimeouts Timeouts;

  // One publishing run with these settings, from the checks to "Finished.".
  // Every outcome is reported to the user; nothing is thrown.
  RunResult RunPublishing(const RunSettings& settings);

  // Options the user confirmed while a run goes on (the option group of
  // `options`): the walk takes them at its next file or directory, never in
  // the middle of one.
  void ApplyOptions(const RunSettings& options);

  // Sets the status line, refreshes the total and processes waiting input.
  void ShowStatus(const std::string& text);

  bool IsRecodedExtension(const std::string& name) const;
  bool FindRemoteTime(const std::string& name, std::int64_t& writeTime) const;
  const RemoteEntry* FindRemoteEntry(const std::string& name) const;

 private:
  void PublishDirectory(FtpConnection& connection, std::string relativePath);
  bool EnterRemoteDirectory(FtpConnection& connection, const std::string& remotePath);
  bool UploadFile(FtpConnection& connection, std::string localPath, std::string name);

  // Shows the message and counts it in the run's result.
  void ShowMessage(const std::string& text);
  // Where options confirmed during the run become the run's own.
  void TakeConfirmedOptions();

  // The checks before any logon, the exclusion patterns read among them;
  // false after the message that says what is missing.
  bool SettingsAreComplete();
  // Logs on (again, once a certificate is trusted) and publishes; false when
  // the remote directory could not be entered.
  bool LogOnAndPublish();
  bool RunGuarded(FtpSession& session);
  // The site as certificates are trusted for it: "host:port".
  std::string CertificateSite() const;
  // Between a lost connection and the next logon; false when the user stopped.
  bool PauseBeforeNewLogon(std::chrono::milliseconds pause);
  bool IsUpToDate(FtpConnection& connection, const std::string& localPath, const std::string& name,
                  const LocalFileStatus& status, bool recoded);
  // Uploads on the walk's own connection, and those it takes on from the
  // extra connections' queue meanwhile; `walking`: only where they have enough.
  void CarryOut(FtpConnection& connection, UploadJob job, bool walking);
  bool CarryOutOne(FtpConnection& connection, FileUploader& uploader, const UploadJob& job);
  // Shows a file's status line, the file's start told first.
  void StartFile(const std::string& statusPrefix, const std::string& localPath);
  void CountUpload(const UploadJob& job, bool copied, const std::string& failure = {});
  void ReportGivenUp(const UploadJob& job);
  // Remote directories that exist are listed: for the update decision, when
  // publishing for the permissions of the pages replaced, and for what the
  // local tree lacks.
  bool IsKnownMissing(const std::string& name) const;
  void PrepareAhead(const std::string& relativePath, const std::string& remotePath,
                    const std::vector<LocalEntry>& entries, int levels);
  bool ListsDirectories() const { return settings_.UpdateOnly != 0 || Mode == PublishMode::Publish || deleting_; }
  void SayWhatTheListingLacks(const RemoteDirectoryListing& listing, const std::string& remotePath);
  // Makes the listing the current level's.
  void TakeListing(RemoteDirectoryListing& listing);

  // The extra connections: opened after the remote directory was entered.
  void OpenUploadPool();
  // What the extra connections did, shown as it happened. Messages wait for
  // a point between two steps of the walk, not in the middle of a wait.
  void DeliverUploadEvents(bool messagesAllowed);
  // A directory the extra connections entered ahead of the walk; empty when
  // the walk must enter it itself.
  std::optional<PreparedDirectory> AwaitPrepared(const std::string& remotePath);
  // Waits for the uploads handed out, helping on `connection` while it can;
  // without a connection (the run is ending on an error) nothing waiting starts.
  void FinishUploads(FtpConnection* connection);
  // Bytes of files copied, and sent so far of files under way.
  std::int64_t BytesSentSoFar() const;
  void ReportProgress();
  // Called at least every 100 ms during every wait of the walk's connection.
  bool KeepInformedAndCheckStop();
  void RaiseFtpError(const FtpConnection& connection);

  // What of the current level's listing the local level lacks, kept for the
  // end of the run; `relativePath` is "" or ends with "/".
  void NoteRemoteLeftovers(const std::string& relativePath, const std::string& remotePath,
                           const std::vector<LocalEntry>& entries, bool localReadWhole);
  // Neither a name the server keeps for itself nor one the local rule leaves out.
  bool MayDelete(const RemoteName& remote, const std::string& relativeDirectory) const;
  // After every upload: deletes what the walk noted, within the rails.
  void DeleteRemoteLeftovers(FtpConnection& connection);
  // Adds a leftover to the plan: a file or a link as itself, a directory
  // with its contents first, deepest first, and itself only when nothing in
  // it must stay. False when something stays.
  bool PlanDeletion(FtpConnection& connection, const RemoteLeftover& leftover, std::vector<RemoteLeftover>& plan);
  bool PlanDirectoryDeletion(FtpConnection& connection, const RemoteLeftover& directory,
                             std::vector<RemoteLeftover>& plan);
  // Whether LIST shows `name` of `parent` as a directory (not a link to one);
  // empty when it cannot tell.
  std::optional<bool> ListsAsDirectory(FtpConnection& connection, const std::string& parent, const std::string& name);
  void CarryOutDeletions(FtpConnection& connection, const std::vector<RemoteLeftover>& plan);

  PublisherUserInterface& userInterface_;
  // The run's settings, read by the walk as it goes.
  RunSettings settings_;
  std::optional<RunSettings> confirmedOptions_;
  // What the run in progress has done so far.
  RunResult result_;
  // The run's connection while it is open, whose notices the status line shows.
  FtpConnection* runConnection_ = nullptr;
  UploadRules uploadRules_;
  std::unique_ptr<UploadPool> uploadPool_;
  std::deque<UploadPool::Event> undeliveredEvents_;
  bool deliveringEvents_ = false;
  // Sent so far of the file the walk's own connection is uploading.
  std::int64_t ownBytesInFlight_ = 0;
  std::string applicationName_;
  // The remote directory the files of the current level go to.
  std::string currentRemotePath_;
  EnteredDirectories enteredDirectories_;
  // Remote directories handed to the extra connections to prepare ahead.
  std::unordered_set<std::string> preparedAhead_;
  // Set by the first of the run's connections that finds active data
  // connections stalling; all of them go passive then.
  std::shared_ptr<std::atomic<bool>> activeStalled_;
  // The listing of the current level was cut short by the server.
  bool remoteListingIncomplete_ = false;
  // RemoteListing's entries by name; stale once remoteIndexed_ is cleared.
  mutable std::unordered_map<std::string, std::size_t> remoteIndex_;
  mutable bool remoteIndexed_ = false;
  bool listingFailureSaid_ = false;
  bool listingCutSaid_ = false;
  // When the run began, seconds since 1970 UTC: the age of leftovers counts from here.
  std::int64_t runStartUtc_ = 0;

  // The run's exclusion patterns, read when it starts.
  ExcludePatterns excluded_;
  // Deleting was asked for when the run began: the walk notes what to delete.
  bool deleting_ = false;
  // Every name of the current level's listing, and whether the server sent it whole.
  std::vector<RemoteName> remoteNames_;
  bool remoteNamesWhole_ = true;
  std::vector<RemoteLeftover> leftovers_;
  // Remote directories where nothing is deleted: their listing, or their
  // local directory, could not be read whole.
  std::vector<std::string> uncertainDirectories_;
  // The names LIST shows as directories, by remote directory; empty where it failed.
  std::map<std::string, std::optional<std::unordered_set<std::string>>> directoriesByList_;
  // The local directory holds nothing the run considers: a missing mount or
  // an emptied tree, never a reason to empty the site.
  bool localRootEmpty_ = false;
};

static_assert(std::atomic<std::int32_t>::is_always_lock_free);

// The total as the status area shows it: bytes up to 1024, whole KiB above.
std::string FormatTotal(std::int64_t totalCopied);

}  // namespace ostrel
