#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ftp/FtpError.h"
#include "ftp/FtpFeatures.h"
#include "ftp/FtpHostAddress.h"
#include "ftp/FtpReply.h"
#include "ftp/FtpServerFacts.h"
#include "ftp/FtpTimeouts.h"

namespace ostrel {

class FtpControlChannel;
class FtpTlsClient;

// One logged-on control connection. Every operation returns true or false and
// throws nothing; LastError() tells why the last one failed. After a timeout,
// an end of connection or a 421 the connection logs on again (at most
// kMaximumReconnections times, after a pause of 1, 2, then 4 seconds),
// enters its directory again and repeats the interrupted operation; a put is
// repeated whole. When that fails too, the connection is broken and every
// later operation fails at once, so a late reply is never taken as the answer
// to a new command.
class FtpConnection {
 public:
  static constexpr int kMaximumReconnections = 3;

  ~FtpConnection();
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  bool GetCurrentDirectory(std::string& path);
  // CWD, unless the directory is the one last entered (trailing slashes
  // aside), which costs no round trip.
  bool SetCurrentDirectory(const std::string& path);
  bool CreateDirectory(const std::string& path);
  // Stores what can be read from localFile, an open descriptor read from its
  // current position to its end, under remoteName in the current directory,
  // binary. The descriptor stays open and the caller's. `progress` learns
  // the bytes of this put sent so far, after every block.
  using PutProgress = std::function<void(std::int64_t bytesSent)>;
  bool PutFile(int localFile, const std::string& remoteName, const PutProgress& progress = {});
  bool DeleteFile(const std::string& remoteName);
  // RMD: the server removes only an empty directory.
  bool RemoveDirectory(const std::string& path);
  // RNFR then RNTO; a file already named `to` is replaced where the server
  // allows it. With `stampUtc`, `from` first gets that modification time
  // (MFMT, where offered), in the same round trip; with `mode`, those
  // permission bits too (SITE CHMOD), whose reply code goes to *modeReply.
  // Neither failing stops the rename.
  bool RenameFile(const std::string& from, const std::string& to, std::optional<std::int64_t> stampUtc = {},
                  std::optional<unsigned> mode = {}, int* modeReply = nullptr);
  // The next transfer of this connection follows the next rename: its data
  // port is asked for in the rename's round trip, where the server allows;
  // so is entering `directory` (absolute) where it is not empty and not the
  // current one, and for an upload its STOR of `uploadName`. The upload must
  // then be the next put of this connection; any other operation first ends
  // the server's wait for it with an empty copy, which it deletes.
  void ExpectTransfer(std::string directory = {}, std::string uploadName = {}) {
    transferExpected_ = TransferAhead{std::move(directory), std::move(uploadName)};
  }
  // Gives back a data port asked for ahead that no transfer took (ABOR), or
  // ends the wait for an upload sent ahead that did not come.
  void ReleasePortOpenedAhead();
  // RNFR alone, for its reply code (0 when none came); a rename the server
  // then expects is turned down with an RNTO to the same name.
  int AskRenameFrom(const std::string& remoteName);
  // SIZE (binary) and MDTM of a file of the current directory; empty when the
  // server does not tell.
  std::optional<std::int64_t> FileSize(const std::string& remoteName);
  std::optional<std::int64_t> FileModificationTime(const std::string& remoteName);
  // Sets the file's modification time, seconds since 1970 UTC: MFMT, else
  // MDTM where it was found to set times (LearnModifyTimes).
  bool SetFileModificationTime(const std::string& remoteName, std::int64_t utcSeconds);
  // Whether SetFileModificationTime can work on this server, as far as known.
  bool SetsFileTimes();
  // "MDTM TIME NAME", the time in the server's MDTM clock.
  bool SetModifyTimeByMdtm(const std::string& remoteName, std::int64_t serverClockSeconds);
  // The server's extensions, asked with FEAT once per connection; asked again
  // after a new logon when the connection was lost before FEAT was answered.
  FtpFeatures Features();
  // What this connection learned about its server; lives as long as the
  // connection, across new logons.
  FtpServerFacts& Facts() { return *facts_; }
  // Sends QUIT (when the connection still answers) and closes it. Idempotent.
  void Close();

  // Waits before a new logon; returns false when the user asked to stop, and
  // then no new logon is made. Without one, the pause is slept through.
  using PauseHandler = std::function<bool(std::chrono::milliseconds pause)>;
  void SetPauseHandler(PauseHandler handler) { pauseHandler_ = std::move(handler); }
  // What the user should read about how the connection adapted (another
  // data mode, a new logon), once; empty when nothing changed.
  std::string TakeNotice();

  // True when the server had accepted the last put (a 1xx reply came), so
  // bytes may have reached the remote file even though the put failed.
  bool LastPutWasStarted() const { return lastPutWasStarted_; }
  // The bytes the last put sent.
  std::int64_t LastPutBytes() const { return lastPutBytes_; }
  // The directory last entered (absolute as given), empty before the first.
  const std::string& CurrentDirectory() const { return currentDirectory_; }
  bool IsBroken() const;
  // The control connection, and so every data connection, is encrypted.
  bool IsSecure() const;
  const FtpError& LastError() const { return lastError_; }

 private:
  // The command and argument that set a file's time here; no argument where none can.
  std::pair<const char*, std::string> StampCommand(std::int64_t utcSeconds, const std::string& name);
  friend class FtpSession;
  friend class FtpFind;
  FtpConnection(std::unique_ptr<FtpControlChannel> channel, std::shared_ptr<FtpServerFacts> facts,
                FtpHostAddress address, std::shared_ptr<FtpTlsClient> tls, std::string user, std::string password,
                const FtpTimeouts& timeouts);
  // Runs the operation; when it failed because the connection was lost, logs
  // on again and repeats it, as often as reconnections are left.
  // An upload sent ahead is ended first unless it is `uploadName`'s.
  bool WithReconnection(const std::function<bool()>& operation, const std::string* uploadName = nullptr);
  bool Reconnect();
  bool StopRequested() const;
  bool QueryCurrentDirectory(std::string& path);
  bool PutOnce(int localFile, const std::string& remoteName, const PutProgress& progress);
  // Takes the channel's error as LastError() and returns false.
  bool Failed();
  bool EnsureBinaryType();
  struct TransferAhead {
    std::string directory;
    std::string uploadName;
  };
  // What goes out with a rename for the transfer after it.
  struct Ahead {
    bool port = false;
    bool enter = false;
    bool upload = false;
  };
  Ahead PlanAhead(const std::optional<TransferAhead>& next) const;
  bool TakeAheadReplies(const Ahead& ahead, const std::optional<TransferAhead>& next, std::vector<FtpReply>& replies);
  // False when the connection broke on the way.
  bool SettleUploadSentAhead(const std::string* uploadName);
  bool IsCurrentDirectory(const std::string& path) const;
  // Sends the commands together and reads their replies in order, or one at
  // a time where the server wants that; false when a reply did not come.
  // With `lastAnsweredLater` the last command is a transfer whose reply the
  // transfer reads; it is never sent again.
  bool Exchange(const std::vector<FtpCommand>& commands, std::vector<FtpReply>& replies,
                bool lastAnsweredLater = false);
  // Sends commands[first, end) one at a time, each reply read before the next goes.
  bool ExchangeOneAtATime(const std::vector<FtpCommand>& commands, std::vector<FtpReply>& replies, std::size_t first,
                          std::optional<std::size_t> end = std::nullopt);

  std::unique_ptr<FtpControlChannel> channel_;
  std::shared_ptr<FtpServerFacts> facts_;  // shared with every channel this connection logs on with
  FtpHostAddress address_;
  std::shared_ptr<FtpTlsClient> tls_;
  std::string user_;
  std::string password_;
  FtpTimeouts timeouts_;
  // The last directory entered, which a new logon enters again.
  std::string currentDirectory_;
  int reconnections_ = 0;
  bool closed_ = false;
  PauseHandler pauseHandler_;
  FtpError lastError_{0, ""};
  bool lastPutWasStarted_ = false;
  std::int64_t lastPutBytes_ = 0;
  std::optional<TransferAhead> transferExpected_;
};

}  // namespace ostrel
