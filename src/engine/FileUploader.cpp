#include "engine/FileUploader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "engine/TemporaryRemoteName.h"
#include "ftp/FtpError.h"
#include "ftp/FtpFind.h"
#include "platform/FileDescriptor.h"
#include "platform/FileError.h"
#include "platform/Translation.h"
#include "recode/Koi8Recoder.h"

namespace ostrel {
namespace {

constexpr const char* kNoRenameNotice =
    Translatable("The server cannot rename files; pages are now replaced in place.");
constexpr const char* kLostModesNotice = Translatable(
    "The server refused SITE CHMOD: replaced pages get the server's default permissions, not those they had; set "
    "them again where it matters.");
// What nearly every server gives an upload (umask 022).
constexpr unsigned kUsualNewMode = 0644;

// 500, 502 and 504: the server does not know or does not offer the command.
bool IsUnsupportedCommand(int code) { return code == 500 || code == 502 || code == 504; }

FileDescriptor OpenForUpload(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) throw FileError::FromErrno(errno, path);
  return file;
}

// Gives the remote file the local file's time, where the server can, so that
// the next comparison does not depend on the server's clock.
void Stamp(FtpConnection& connection, const std::string& name, const LocalFileStatus& status) {
  if (!connection.Features().mfmt) LearnModifyTimes(connection, "");
  if (connection.SetsFileTimes()) connection.SetFileModificationTime(name, status.lastWriteUtc);
}

// The size of a file of the current directory: SIZE, else the listing.
std::optional<std::int64_t> RemoteSize(FtpConnection& connection, const std::string& name) {
  if (connection.Features().size) return connection.FileSize(name);
  FtpFind find(connection);
  if (find.Start("*.*")) {
    do {
      if (find.Current().name == name) return find.Current().size;
    } while (find.Next());
  }
  return std::nullopt;
}

}  // namespace

UploadOutcome FileUploader::Upload(const UploadJob& job, const FtpConnection::PutProgress& progress) {
  UploadOutcome outcome;
  if (!connection_.SetCurrentDirectory(job.remoteDirectory))
    outcome.failure = connection_.LastError().Message();
  else
    outcome.copied = Transfer(job, progress, outcome);
  outcome.connectionLost = !outcome.copied && connection_.IsBroken();
  outcome.stopped = outcome.connectionLost && connection_.LastError().Code() == FtpError::kStopped;
  return outcome;
}

bool FileUploader::Transfer(const UploadJob& job, const FtpConnection::PutProgress& progress, UploadOutcome& outcome) {
  try {
    const FileDescriptor file =
        job.recoded ? Koi8Recoder(job.localPath).RecodeFile(job.noQMarks) : OpenForUpload(job.localPath);
    struct stat fileStatus {};
    if (::fstat(file.Get(), &fileStatus) != 0) throw FileError::FromErrno(errno, job.localPath);
    if (rules_.replaceWhole) {
      const ReplaceOutcome replaced = PutReplacing(file.Get(), job, progress, outcome);
      if (replaced != ReplaceOutcome::RenameUnsupported) return replaced == ReplaceOutcome::Replaced;
      if (::lseek(file.Get(), 0, SEEK_SET) != 0) throw FileError::FromErrno(errno, job.localPath);
    }
    return PutInPlace(file.Get(), fileStatus.st_size, job, progress, outcome);
  } catch (const FileError& error) {
    outcome.failure = error.what();
    return false;
  }
}

// Uploads under the temporary name and renames it over the page, so that
// visitors never see half a page and a failed upload leaves the old one.
FileUploader::ReplaceOutcome FileUploader::PutReplacing(int file, const UploadJob& job,
                                                        const FtpConnection::PutProgress& progress,
                                                        UploadOutcome& outcome) {
  const std::string temporary = job.temporaryName.empty() ? TemporaryRemoteName(job.name) : job.temporaryName;
  // RNFR of a name that does not exist yet is refused as unknown where the
  // server has no renames, and as not found where it has: one round trip a
  // run instead of the first page sent twice.
  if (!rules_.renameAsked.exchange(true) && IsUnsupportedCommand(connection_.AskRenameFrom(temporary))) {
    if (rules_.replaceWhole.exchange(false)) outcome.notice = kNoRenameNotice;
    return ReplaceOutcome::RenameUnsupported;
  }
  if (!connection_.PutFile(file, temporary, progress)) {
    const FtpError putError = connection_.LastError();
    outcome.failure = putError.Message();
    // A lost connection leaves it to the next run, whose listing shows it.
    if (connection_.IsBroken()) return ReplaceOutcome::Failed;
    connection_.DeleteFile(temporary);
    // Refused before a byte went: some servers refuse names that begin with
    // a dot, or that long, and take the page under its own name.
    if (putError.Code() / 100 != 5 || connection_.LastPutWasStarted()) return ReplaceOutcome::Failed;
    if (rules_.replaceWhole.exchange(false))
      outcome.notice = FormatText(
          Translate("The server refused the temporary name of an upload (%s); pages are now replaced in place."),
          {putError.Message()});
    return ReplaceOutcome::RenameUnsupported;
  }
  if (!StoredWhole(temporary, outcome, Placement::Temporary)) {
    connection_.DeleteFile(temporary);
    return ReplaceOutcome::Failed;
  }
  // Where MFMT is missing, the first upload finds out whether MDTM stamps.
  if (!connection_.Features().mfmt) LearnModifyTimes(connection_, "");
  if (const std::optional<NextTransfer> next = nextTransferTaken_ ? nextTransferTaken_() : std::nullopt) {
    UploadJob* upload = next->upload;
    if (upload == nullptr) {
      connection_.ExpectTransfer();
    } else {
      if (upload->temporaryName.empty()) upload->temporaryName = TemporaryRemoteName(upload->name);
      connection_.ExpectTransfer(upload->remoteDirectory, rules_.replaceWhole ? upload->temporaryName : std::string());
    }
  }
  int modeReply = 0;
  if (connection_.RenameFile(temporary, job.name, job.status.lastWriteUtc, job.replacedMode, &modeReply)) {
    NoteLostMode(job, modeReply, outcome);
    return ReplaceOutcome::Replaced;
  }
  const FtpError renameError = connection_.LastError();
  if (connection_.IsBroken()) {
    outcome.failure = renameError.Message();
    return ReplaceOutcome::Failed;
  }
  // A rename repeated on a new logon fails when the first one went through
  // and only its answer was lost.
  if (RenameHappened(temporary, job)) return ReplaceOutcome::Replaced;
  // Refused, for whatever reason (no rename right, a scanner that moved the
  // upload, a server that renames only onto free names): the page is never
  // deleted to make room, only our own copy is; pages go in place from now on.
  connection_.DeleteFile(temporary);
  // Said by the connection that found out, once for the run.
  if (rules_.replaceWhole.exchange(false))
    outcome.notice =
        IsUnsupportedCommand(renameError.Code())
            ? Translate(kNoRenameNotice)
            : FormatText(
                  Translate(
                      "The server refused to rename an upload over its page (%s); pages are now replaced in place."),
                  {renameError.Message()});
  return ReplaceOutcome::RenameUnsupported;
}

bool FileUploader::RenameHappened(const std::string& temporary, const UploadJob& job) {
  if (connection_.IsBroken() || RemoteSize(connection_, temporary)) return false;
  const std::optional<std::int64_t> page = RemoteSize(connection_, job.name);
  return page && *page == connection_.LastPutBytes();
}

// Whether the page kept its permissions, said once a run where it did not.
// What the renamed copy got instead is not known without a listing of it, a
// round trip a file; new files nearly everywhere get 0644, so a page that had
// those most likely lost nothing, and one that had others most likely did.
void FileUploader::NoteLostMode(const UploadJob& job, int modeReply, UploadOutcome& outcome) {
  // 202: "not implemented, superfluous at this site".
  if (!job.replacedMode || (modeReply / 100 == 2 && modeReply != 202)) return;
  if (*job.replacedMode != kUsualNewMode && !rules_.lostModesSaid.exchange(true))
    outcome.notice = Translate(kLostModesNotice);
}

// A server was seen to confirm an upload over TLS (1.3, under load) of which
// it had kept only the beginning. Where it tells sizes, an encrypted upload
// is measured before it replaces the page: one round trip a file.
bool FileUploader::StoredWhole(const std::string& remoteName, UploadOutcome& outcome, Placement placement) {
  if (!connection_.IsSecure() || !connection_.Features().size) return true;
  const std::int64_t sent = connection_.LastPutBytes();
  const std::optional<std::int64_t> stored = connection_.FileSize(remoteName);
  if (!stored || *stored == sent) return true;
  outcome.failure = FormatText(
      placement == Placement::Temporary
          ? Translate("The server confirmed the upload but kept %s of the %s bytes sent; the page was left as it was.")
          : Translate("The server confirmed the upload but kept %s of the %s bytes sent; the page on the server is "
                      "cut: publish it again."),
      {std::to_string(*stored), std::to_string(sent)});
  return false;
}

bool FileUploader::PutInPlace(int file, std::int64_t size, const UploadJob& job,
                              const FtpConnection::PutProgress& progress, UploadOutcome& outcome) {
  if (connection_.PutFile(file, job.name, progress)) {
    // Measured here too: nothing else would tell that the page is cut.
    if (!StoredWhole(job.name, outcome, Placement::InPlace)) return false;
    Stamp(connection_, job.name, job.status);
    return true;
  }
  outcome.failure = connection_.LastError().Message();
  RemoveTruncatedCopy(job, size);
  return false;
}

// A failed upload may have left a cut copy, also without any 1xx reply (some
// servers open the file before they fail to connect back), whose fresh time
// would make every later "only newer" run skip it. A copy as large as the
// file is complete and stays, and so does one the server never touched.
void FileUploader::RemoveTruncatedCopy(const UploadJob& job, std::int64_t size) {
  const bool started = connection_.LastPutWasStarted();
  auto removeFrom = [&](FtpConnection& live) {
    const std::optional<std::int64_t> remoteSize = RemoteSize(live, job.name);
    // A page that is still as the listing showed it was never touched (a
    // server may say 150 and then fail to open the data connection): it stays.
    if (job.replacesListed && (!remoteSize || !job.replacedSize || *remoteSize == *job.replacedSize)) return;
    const bool truncated = remoteSize ? *remoteSize < size : started;
    if (truncated) live.DeleteFile(job.name);
  };
  if (!connection_.IsBroken()) {
    removeFrom(connection_);
    return;
  }
  // A connection that dropped mid-put is the common way to get a cut file,
  // so one fresh logon is made only to look at it; never after a stop request.
  if (!rules_.logOnAgain || connection_.LastError().Code() == FtpError::kStopped) return;
  try {
    std::unique_ptr<FtpConnection> fresh = rules_.logOnAgain();
    if (fresh->SetCurrentDirectory(job.remoteDirectory)) removeFrom(*fresh);
    fresh->Close();
  } catch (const FtpError&) {
    // The copy stays; the user is told the file was not copied either way.
  }
}

}  // namespace ostrel
