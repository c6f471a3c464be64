#pragma once

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/StreamSocket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/FtpControlChannel.h"

namespace ostrel {

// "229 Entering Extended Passive Mode (|||40685|)": the port between the
// delimiters, which the reply chooses.
std::optional<std::uint16_t> EpsvPort(const std::string& text);

// One transfer over a data connection, in the connection's data mode:
// active (we listen, tell the server where with EPRT, or PORT once it refused
// EPRT, and accept its connection, from the server's address only) or passive
// (EPSV, or PASV once it refused EPSV, or a port the server opened ahead, and we connect to the server's address
// at the port it names). When the data connection fails in one mode, the
// transfer is tried once in the other, which the connection then keeps. Every
// wait is bounded; failures are recorded on the channel.
class FtpDataTransfer {
 public:
  explicit FtpDataTransfer(FtpControlChannel& channel) : channel_(channel) {}
  ~FtpDataTransfer();
  FtpDataTransfer(const FtpDataTransfer&) = delete;
  FtpDataTransfer& operator=(const FtpDataTransfer&) = delete;

  // Opens the data connection and sends the command.
  bool Start(std::string_view verb, std::string_view argument);
  // True once the server has answered the transfer command with 1xx, so it
  // may have begun to write the target.
  bool WasStarted() const { return started_; }

  bool Send(const char* bytes, std::size_t size);
  // Receives until the server closes the data connection, at most
  // `maximumSize` bytes and within the listing's overall bound.
  bool ReceiveAll(std::string& received, std::size_t maximumSize);
  // Ends our side cleanly (all bytes go out before the end of stream), reads
  // the final reply, then closes; true when the reply says it completed.
  // After an upload of `uploadedBytes` the reply is awaited for as long as
  // the server may take to check what it got.
  bool Finish(std::optional<std::int64_t> uploadedBytes = std::nullopt);
  // The final reply Finish read.
  const FtpReply& FinalReply() const { return finalReply_; }
  // Gives up after a failure on our side: the server sees a reset rather than
  // a clean end, so it cannot take a cut file for a whole one. The final reply
  // is still read to keep the control connection in step; the error stays ours.
  void Abandon(int code, std::string message);

 private:
  // How one try to open the data connection ended.
  // Retry: the same mode again, one command at a time.
  enum class Attempt { Started, Refused, DataConnectionFailed, OutOfStep, Retry };

  Attempt TryActive(std::string_view verb, std::string_view argument);
  Attempt TryPassive(std::string_view verb, std::string_view argument);
  // Connects to the server's data port; false, with why in *failure, when it cannot.
  bool ConnectToServer(std::uint16_t port, std::string* failure = nullptr);
  Attempt OpenPort();
  Attempt EnterPassiveMode(std::uint16_t& port);
  // EPSV with the transfer command behind it, in one write.
  Attempt EnterPassiveModeTogether(std::string_view verb, std::string_view argument, std::uint16_t& port);
  // Reads the reply to the transfer command: 1xx starts the transfer.
  Attempt ReadPreliminaryReply(FtpReply* refusal = nullptr);
  // Waits up to the data-connect bound for the server's connection; the
  // control connection is watched too, for a refusal.
  Attempt AcceptFromServer();
  // After the last byte of an upload: until the server has read the end of
  // the data, or answered, at most the reply timeout after the last byte left
  // our side. A server that does neither has stopped serving the transfer; a
  // server that has read it all may take long to confirm, which Finish waits for.
  bool AwaitEndOfUpload();
  // Until the data connection takes bytes again, within the data timeout.
  bool AwaitRoomToSend();
  // The connection's next transfers go passive, with `notice` said once.
  void AvoidActiveMode(const std::string& notice);
  // After the data connection failed: the server's refusal explains it best
  // when one comes; otherwise the failure on our side is the error.
  void FailWithFinalReply(int code, std::string message);
  void ResetDataConnection() noexcept;

  FtpControlChannel& channel_;
  Poco::Net::ServerSocket listener_;
  Poco::Net::StreamSocket data_;
  Poco::Net::SecureStreamSocket secureData_;  // data_ as TLS sees it, over TLS
  Poco::Net::StreamSocket plainData_;         // the TCP connection under secureData_
  FtpReply finalReply_;
  bool started_ = false;
  bool dataOpen_ = false;
  std::chrono::steady_clock::time_point lastInputCheck_ = std::chrono::steady_clock::now();
};

}  // namespace ostrel
