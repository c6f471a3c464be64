#include <cstdint>
#include <optional>

#include "engine/LocalFileStatus.h"
#include "engine/Publisher.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "platform/DisplayText.h"
#include "platform/FileError.h"
#include "platform/Translation.h"
#include "recode/Koi8Recoder.h"
#include "resources/StringTable.h"

namespace ostrel {
namespace {

constexpr const char* kWouldCopy = Translatable("Would copy: ");
constexpr const char* kGivenUp = Translatable("Stopped, not copied: ");
// Sent in a few round trips on a slow line, while the others work through
// what waits for them.
constexpr std::int64_t kLargestFileTheWalkSends = 64 * 1024;

}  // namespace

bool Publisher::UploadFile(FtpConnection& connection, std::string localPath, std::string name) {
  LocalFileStatus status;
  // A file that vanished since its directory was read has nothing left to publish.
  if (!ReadLocalFileStatus(localPath, status)) return true;
  if (settings_.UpdateOnly &&
      IsUpToDate(connection, localPath, name, status, settings_.Xcode && IsRecodedExtension(name))) {
    ++result_.filesSkipped;
    StartFile(LoadString(StringId::Skipping), localPath);
    userInterface_.FileSettled(localPath, FileOutcome::Skipped, {});
    ReportProgress();
    return true;
  }

  if (Mode == PublishMode::DryRun) {
    StartFile(Translate(kWouldCopy), localPath);
    userInterface_.FileSettled(localPath, FileOutcome::WouldCopy, {});
    ++result_.filesCopied;
    result_.bytesWouldCopy += status.size;
    ReportProgress();
    return true;
  }

  const RemoteEntry* replaced = FindRemoteEntry(name);
  UploadJob job{localPath,
                currentRemotePath_,
                name,
                status,
                settings_.Xcode && IsRecodedExtension(name),
                settings_.NoQMarks != 0,
                replaced != nullptr ? replaced->Mode : std::nullopt,
                replaced != nullptr,
                replaced != nullptr ? replaced->Size : std::nullopt,
                {}};
  // The walk feeds the other connections: a large file of its own would
  // leave them waiting for work until it is sent.
  if (uploadPool_ && uploadPool_->HandOut(job, status.size > kLargestFileTheWalkSends)) return true;
  StartFile(LoadString(StringId::Copying), localPath);
  // Options confirmed while the status line was shown apply to this file.
  TakeConfirmedOptions();
  job.recoded = settings_.Xcode && IsRecodedExtension(name);
  job.noQMarks = settings_.NoQMarks != 0;
  CarryOut(connection, std::move(job), true);
  return true;
}

void Publisher::CarryOut(FtpConnection& connection, UploadJob job, bool walking) {
  for (;;) {
    FileUploader uploader(connection, uploadRules_);
    // Another waiting upload is taken on where the others have enough to do
    // (all of them while walking), so that its STOR goes with this rename.
    std::optional<UploadJob> next;
    if (uploadPool_)
      uploader.SetNextTransferCheck([&]() -> std::optional<FileUploader::NextTransfer> {
        if (!next && Running) next = uploadPool_->TakeWaiting(walking);
        if (!next) return std::nullopt;
        return FileUploader::NextTransfer{&*next};
      });
    if (!CarryOutOne(connection, uploader, job) || !next || !Running) return;
    job = std::move(*next);
    StartFile(LoadString(StringId::Copying), job.localPath);
  }
}

// False when the run cannot go on with this connection or was stopped.
bool Publisher::CarryOutOne(FtpConnection& connection, FileUploader& uploader, const UploadJob& job) {
  ownBytesInFlight_ = 0;
  // Shown, with input handled, by the waits of the transfer itself.
  const UploadOutcome outcome = uploader.Upload(job, [this](std::int64_t bytesSent) { ownBytesInFlight_ = bytesSent; });
  ownBytesInFlight_ = 0;
  if (!outcome.notice.empty()) ShowStatus(outcome.notice);
  if (outcome.stopped) {
    ReportGivenUp(job);
    return false;
  }
  if (!outcome.copied && connection.IsBroken()) {
    ++result_.filesFailed;
    userInterface_.FileSettled(job.localPath, FileOutcome::Failed, outcome.failure);
    // A connection that could not be made again ends the run with this one
    // message, not one for every file left.
    throw FtpError(connection.LastError().Code(), LoadString(StringId::CannotCopyFile) +
                                                      EscapeControlCharacters(job.localPath) + "\n" + outcome.failure);
  }
  if (!outcome.copied)
    ShowMessage(LoadString(StringId::CannotCopyFile) + EscapeControlCharacters(job.localPath) + "\n" + outcome.failure);
  CountUpload(job, outcome.copied, outcome.failure);
  return true;
}

// The user asked to stop and the server went quiet: no error of the site's,
// so a status line says it rather than a message to acknowledge.
void Publisher::ReportGivenUp(const UploadJob& job) {
  ShowStatus(Translate(kGivenUp) + job.localPath);
  ++result_.filesFailed;
  userInterface_.FileSettled(job.localPath, FileOutcome::Stopped, {});
  ReportProgress();
}

void Publisher::StartFile(const std::string& statusPrefix, const std::string& localPath) {
  userInterface_.FileStarted(localPath);
  ShowStatus(statusPrefix + localPath);
}

void Publisher::CountUpload(const UploadJob& job, bool copied, const std::string& failure) {
  if (copied) {
    TotalCopied += job.status.size;
    ++result_.filesCopied;
  } else {
    ++result_.filesFailed;
  }
  userInterface_.FileSettled(job.localPath, copied ? FileOutcome::Copied : FileOutcome::Failed, failure);
  ReportProgress();
}

// A remote copy is up to date when it is not older than the local file and,
// where its size is known, as large as what would be uploaded.
bool Publisher::IsUpToDate(FtpConnection& connection, const std::string& localPath, const std::string& name,
                           const LocalFileStatus& status, bool recoded) {
  std::optional<RemoteEntry> remote;
  if (const RemoteEntry* listed = FindRemoteEntry(name)) {
    remote = *listed;
  } else if (remoteListingIncomplete_) {
    // A listing cut short may just not have reached the file.
    const std::string remotePath = currentRemotePath_ + name;
    if (const auto time = connection.FileModificationTime(remotePath))
      remote = RemoteEntry{name, *time, connection.FileSize(remotePath), std::nullopt};
  }
  if (!remote || remote->WriteTime < status.lastWriteUtc) return false;
  if (!remote->Size) return true;
  if (!recoded) return *remote->Size == status.size;
  try {
    return *remote->Size == Koi8Recoder(localPath).RecodedSize();
  } catch (const FileError&) {
    return false;  // the upload reports why the file cannot be read
  }
}

}  // namespace ostrel
