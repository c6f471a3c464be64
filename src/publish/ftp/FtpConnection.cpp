#include "publish/ftp/FtpConnection.h"

#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

#include "publish/ftp/FtpControlChannel.h"
#include "publish/ftp/FtpDataTransfer.h"

namespace ostrel {

namespace {

// Large reads keep the data connection busy with few system calls.
constexpr std::size_t kFileBlockSize = 256 * 1024;

// 257 "/pub/site" is the current directory: the path is quoted, and a quote
// inside it is doubled.
bool ParseQuotedPath(const std::string& text, std::string& path) {
  const auto open = text.find('"');
  if (open == std::string::npos) return false;
  path.clear();
  for (std::size_t position = open + 1; position < text.size(); ++position) {
    if (text[position] != '"') {
      path += text[position];
    } else if (position + 1 < text.size() && text[position + 1] == '"') {
      path += '"';
      ++position;
    } else {
      return true;
    }
  }
  return false;
}

std::string SystemText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace

FtpConnection::FtpConnection(std::unique_ptr<FtpControlChannel> channel) : channel_(std::move(channel)) {}

FtpConnection::~FtpConnection() { Close(); }

bool FtpConnection::Failed() {
  lastError_ = channel_->LastError();
  return false;
}

bool FtpConnection::GetCurrentDirectory(std::string& path) {
  path.clear();
  FtpReply reply;
  if (!channel_->Command("PWD", {}, 2, &reply)) return Failed();
  if (reply.code != 257 || !ParseQuotedPath(reply.lines.front(), path)) {
    path.clear();
    channel_->RecordFailure(FtpError::kProtocolError,
                            "The server's answer names no current directory: " + reply.Text());
    return Failed();
  }
  return true;
}

bool FtpConnection::SetCurrentDirectory(const std::string& path) {
  return channel_->Command("CWD", path, 2) || Failed();
}

bool FtpConnection::CreateDirectory(const std::string& path) { return channel_->Command("MKD", path, 2) || Failed(); }

bool FtpConnection::DeleteFile(const std::string& remoteName) {
  return channel_->Command("DELE", remoteName, 2) || Failed();
}

bool FtpConnection::EnsureBinaryType() {
  if (channel_->Facts().binaryTypeSet) return true;
  if (!channel_->Command("TYPE", "I", 2)) return false;
  channel_->Facts().binaryTypeSet = true;
  return true;
}

bool FtpConnection::PutFile(int localFile, const std::string& remoteName) {
  lastPutWasStarted_ = false;
  // Checked before anything is sent, so a refused name costs no data port.
  if (!channel_->AcceptsArgument(remoteName)) return Failed();
  if (!EnsureBinaryType()) return Failed();

  FtpDataTransfer transfer(*channel_);
  const bool started = transfer.Start("STOR", remoteName);
  lastPutWasStarted_ = transfer.WasStarted();
  if (!started) return Failed();

  const auto block = std::make_unique<char[]>(kFileBlockSize);
  for (;;) {
    const ssize_t count = ::read(localFile, block.get(), kFileBlockSize);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      transfer.Abandon(FtpError::kSystemError, "Cannot read the local file: " + SystemText(errno));
      return Failed();
    }
    if (count == 0) break;
    if (!transfer.Send(block.get(), static_cast<std::size_t>(count))) return Failed();
  }
  return transfer.Finish() || Failed();
}

void FtpConnection::Close() { channel_->Quit(); }

bool FtpConnection::IsBroken() const { return channel_->IsBroken(); }

}  // namespace ostrel
