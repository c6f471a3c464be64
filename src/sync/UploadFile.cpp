#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileDescriptor.h"
#include "publish/Publisher.h"
#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpError.h"
#include "publish/ftp/FtpSession.h"
#include "recode/FileError.h"
#include "recode/Koi8Recoder.h"
#include "resources/StringTable.h"
#include "sync/LocalFileStatus.h"

namespace ostrel {
namespace {

constexpr const char* kWouldCopy = "Would copy: ";

// Removes a recoded copy on every way out of an upload, failures included,
// so that no temporary file is ever left behind.
class TemporaryFileRemover {
 public:
  TemporaryFileRemover() = default;
  TemporaryFileRemover(const TemporaryFileRemover&) = delete;
  TemporaryFileRemover& operator=(const TemporaryFileRemover&) = delete;
  ~TemporaryFileRemover() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  void Track(const std::string& path) { path_ = path; }

 private:
  std::string path_;
};

}  // namespace

bool Publisher::UploadFile(FtpConnection& connection, std::string localPath, std::string name) {
  LocalFileStatus status;
  if (!ReadLocalFileStatus(localPath, status)) return false;

  std::int64_t remoteWriteTime = 0;
  if (UpdateOnly && FindRemoteTime(name, remoteWriteTime) && remoteWriteTime >= status.lastWriteTime) {
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
  if (!TransferFile(connection, localPath, name, failure)) {
    ++result_.filesFailed;
    // Without the reason the user could not act on the message.
    ShowMessage(LoadString(StringId::CannotCopyFile) + localPath + "\n" + failure);
    return false;
  }
  TotalCopied += status.size;
  ++result_.filesCopied;
  return true;
}

// Sends the file, recoded when its extension says so; on failure `failure`
// says why: the file error of the recoding or the server's reply.
bool Publisher::TransferFile(FtpConnection& connection, const std::string& localPath, const std::string& name,
                             std::string& failure) {
  std::string uploadPath = localPath;
  TemporaryFileRemover temporaryFile;
  try {
    if (Xcode && IsRecodedExtension(name)) {
      Koi8Recoder recoder(localPath);
      temporaryFile.Track(recoder.TempName());
      recoder.RecodeFile(uploadPath, NoQMarks != 0);
    }
  } catch (const FileError& error) {
    failure = error.what();
    return false;
  }
  const FileDescriptor file(::open(uploadPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) {
    failure = FileError::FromErrno(errno, uploadPath).what();
    return false;
  }
  if (connection.PutFile(file.Get(), name)) return true;
  failure = connection.LastError().Message();
  // A put the server had accepted may have left a truncated file whose fresh
  // time would make every later "only newer" run skip it. A put refused
  // outright wrote nothing, and the copy already published stays.
  if (connection.LastPutWasStarted()) RemoveTruncatedCopy(connection, name);
  return false;
}

void Publisher::RemoveTruncatedCopy(FtpConnection& connection, const std::string& name) {
  if (!connection.IsBroken()) {
    connection.DeleteFile(name);
    return;
  }
  // A connection that dropped mid-put is the common way to get a truncated
  // file, so one fresh logon is made only to remove it.
  try {
    FtpSession session(applicationName_, Timeouts);
    std::unique_ptr<FtpConnection> fresh = session.Connect(Host, Name, Password);
    if (fresh->SetCurrentDirectory(currentRemotePath_)) fresh->DeleteFile(name);
    fresh->Close();
  } catch (const FtpError&) {
    // The copy stays; the user is told the file was not copied either way.
  }
}

}  // namespace ostrel
