#pragma once

#include <memory>
#include <string>

#include "publish/ftp/FtpError.h"

namespace ostrel {

struct FtpTimeouts;
class FtpControlChannel;

// One logged-on control connection. Every operation returns true or false and
// throws nothing; LastError() tells why the last one failed. After a timeout or
// an end of connection the connection is broken and every later operation
// fails at once, so a late reply is never taken as the answer to a new command.
class FtpConnection {
 public:
  ~FtpConnection();
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  bool GetCurrentDirectory(std::string& path);
  bool SetCurrentDirectory(const std::string& path);
  bool CreateDirectory(const std::string& path);
  // Stores what can be read from localFile, an open descriptor read from its
  // current position to its end, under remoteName in the current directory,
  // binary. The descriptor stays open and the caller's.
  bool PutFile(int localFile, const std::string& remoteName);
  bool DeleteFile(const std::string& remoteName);
  // Sends QUIT (when the connection still answers) and closes it. Idempotent.
  void Close();

  // True when the server had accepted the last put (a 1xx reply came), so
  // bytes may have reached the remote file even though the put failed.
  bool LastPutWasStarted() const { return lastPutWasStarted_; }
  bool IsBroken() const;
  const FtpError& LastError() const { return lastError_; }

 private:
  friend class FtpSession;
  friend class FtpFind;
  explicit FtpConnection(std::unique_ptr<FtpControlChannel> channel);
  // Takes the channel's error as LastError() and returns false.
  bool Failed();
  bool EnsureBinaryType();

  std::unique_ptr<FtpControlChannel> channel_;
  FtpError lastError_{0, ""};
  bool lastPutWasStarted_ = false;
};

}  // namespace ostrel
