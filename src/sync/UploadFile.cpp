#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "platform/FileDescriptor.h"
#include "publish/Publisher.h"
#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpError.h"
#include "publish/ftp/FtpFind.h"
#include "publish/ftp/FtpSession.h"
#include "recode/FileError.h"
#include "recode/Koi8Recoder.h"
#include "resources/StringTable.h"
#include "sync/LocalFileStatus.h"
#include "sync/LocalTimeConversion.h"
#include "sync/TemporaryRemoteName.h"

namespace ostrel {
namespace {

constexpr const char* kWouldCopy = "Would copy: ";
constexpr const char* kNoRenameNotice = "The server cannot rename files; pages are now replaced in place.";

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
  if (connection.Features().mfmt) connection.SetFileModificationTime(name, status.lastWriteUtc);
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

bool Publisher::UploadFile(FtpConnection& connection, std::string localPath, std::string name) {
  LocalFileStatus status;
  // A file that vanished since its directory was read has nothing left to publish.
  if (!ReadLocalFileStatus(localPath, status)) return true;
  if (UpdateOnly && IsUpToDate(connection, localPath, name, status, Xcode && IsRecodedExtension(name))) {
    ++result_.filesSkipped;
    ShowStatus(LoadString(StringId::Skipping) + localPath);
    return true;
  }

  if (Mode == PublishMode::DryRun) {
    ShowStatus(kWouldCopy + localPath);
    ++result_.filesCopied;
    result_.bytesWouldCopy += status.size;
    return true;
  }

  ShowStatus(LoadString(StringId::Copying) + localPath);
  std::string failure;
  // Read after the status line: options confirmed there apply to this file.
  const bool recoded = Xcode && IsRecodedExtension(name);
  if (!TransferFile(connection, localPath, name, status, recoded, failure)) {
    ++result_.filesFailed;
    // Without the reason the user could not act on the message.
    const std::string message = LoadString(StringId::CannotCopyFile) + localPath + "\n" + failure;
    // A connection that could not be made again ends the run with this one
    // message, not one for every file left.
    if (connection.IsBroken()) throw FtpError(connection.LastError().Code(), message);
    ShowMessage(message);
    return false;
  }
  TotalCopied += status.size;
  ++result_.filesCopied;
  return true;
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
    if (const auto time = connection.FileModificationTime(name))
      remote = RemoteEntry{name, ConvertThroughLocalTime(*time), connection.FileSize(name)};
  }
  if (!remote || remote->WriteTime < status.lastWriteTime) return false;
  if (!remote->Size) return true;
  if (!recoded) return *remote->Size == status.size;
  try {
    return *remote->Size == Koi8Recoder(localPath).RecodedSize();
  } catch (const FileError&) {
    return false;  // the upload reports why the file cannot be read
  }
}

// Sends the file, recoded when its extension says so; on failure `failure`
// says why: the file error or the server's reply.
bool Publisher::TransferFile(FtpConnection& connection, const std::string& localPath, const std::string& name,
                             const LocalFileStatus& status, bool recoded, std::string& failure) {
  try {
    const FileDescriptor file = recoded ? Koi8Recoder(localPath).RecodeFile(NoQMarks != 0) : OpenForUpload(localPath);
    struct stat fileStatus {};
    if (::fstat(file.Get(), &fileStatus) != 0) throw FileError::FromErrno(errno, localPath);
    if (replaceWhole_) {
      const ReplaceOutcome outcome = PutReplacing(connection, file.Get(), name, status, failure);
      if (outcome != ReplaceOutcome::RenameUnsupported) return outcome == ReplaceOutcome::Replaced;
      if (::lseek(file.Get(), 0, SEEK_SET) != 0) throw FileError::FromErrno(errno, localPath);
    }
    return PutInPlace(connection, file.Get(), fileStatus.st_size, name, status, failure);
  } catch (const FileError& error) {
    failure = error.what();
    return false;
  }
}

// Uploads under the temporary name and renames it over the page, so that
// visitors never see half a page and a failed upload leaves the old one.
Publisher::ReplaceOutcome Publisher::PutReplacing(FtpConnection& connection, int file, const std::string& name,
                                                  const LocalFileStatus& status, std::string& failure) {
  const std::string temporary = TemporaryRemoteName(name);
  if (!connection.PutFile(file, temporary)) {
    failure = connection.LastError().Message();
    // A lost connection leaves it to the next run, whose listing shows it.
    if (!connection.IsBroken()) connection.DeleteFile(temporary);
    return ReplaceOutcome::Failed;
  }
  if (connection.RenameFile(temporary, name, status.lastWriteUtc)) return ReplaceOutcome::Replaced;
  const FtpError renameError = connection.LastError();
  if (connection.IsBroken()) {
    failure = renameError.Message();
    return ReplaceOutcome::Failed;
  }
  if (IsUnsupportedCommand(renameError.Code())) {
    connection.DeleteFile(temporary);
    replaceWhole_ = false;
    ShowStatus(kNoRenameNotice);
    return ReplaceOutcome::RenameUnsupported;
  }
  // Some servers rename only onto a free name: the old page goes first, for
  // a moment in which the page is missing but never empty or cut.
  if (connection.DeleteFile(name) && connection.RenameFile(temporary, name)) return ReplaceOutcome::Replaced;
  failure = renameError.Message();
  if (!connection.IsBroken()) connection.DeleteFile(temporary);
  return ReplaceOutcome::Failed;
}

bool Publisher::PutInPlace(FtpConnection& connection, int file, std::int64_t size, const std::string& name,
                           const LocalFileStatus& status, std::string& failure) {
  if (connection.PutFile(file, name)) {
    Stamp(connection, name, status);
    return true;
  }
  failure = connection.LastError().Message();
  RemoveTruncatedCopy(connection, name, size);
  return false;
}

// A failed upload may have left a cut copy, also without any 1xx reply (some
// servers open the file before they fail to connect back), whose fresh time
// would make every later "only newer" run skip it. A copy as large as the
// file is complete and stays, and so does one the server never touched.
void Publisher::RemoveTruncatedCopy(FtpConnection& connection, const std::string& name, std::int64_t size) {
  const bool started = connection.LastPutWasStarted();
  auto removeFrom = [&](FtpConnection& live) {
    const std::optional<std::int64_t> remoteSize = RemoteSize(live, name);
    const bool truncated = remoteSize ? *remoteSize < size : started;
    if (truncated) live.DeleteFile(name);
  };
  if (!connection.IsBroken()) {
    removeFrom(connection);
    return;
  }
  // A connection that dropped mid-put is the common way to get a cut file,
  // so one fresh logon is made only to look at it.
  try {
    FtpSession session(applicationName_, Timeouts);
    // As the run's own logon: the same data mode and the same trust.
    session.SetFirstDataMode(Passive ? FtpDataMode::Passive : FtpDataMode::Active);
    session.SetTlsTrust({userInterface_.TrustedCertificate(CertificateSite())});
    std::unique_ptr<FtpConnection> fresh = session.Connect(Host, Name, Password);
    if (fresh->SetCurrentDirectory(currentRemotePath_)) removeFrom(*fresh);
    fresh->Close();
  } catch (const FtpError&) {
    // The copy stays; the user is told the file was not copied either way.
  }
}

}  // namespace ostrel
