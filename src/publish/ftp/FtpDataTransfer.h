#pragma once

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/StreamSocket.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "publish/ftp/FtpControlChannel.h"

namespace ostrel {

// One transfer over an active data connection: we listen, tell the server
// where (EPRT, or PORT once the server has refused EPRT), send the transfer
// command and accept the server's connection after its 1xx reply. Every wait
// is bounded by the data timeout; failures are recorded on the channel.
class FtpDataTransfer {
 public:
  explicit FtpDataTransfer(FtpControlChannel& channel) : channel_(channel) {}
  ~FtpDataTransfer();
  FtpDataTransfer(const FtpDataTransfer&) = delete;
  FtpDataTransfer& operator=(const FtpDataTransfer&) = delete;

  // Opens the data port, sends the command and accepts the data connection.
  bool Start(std::string_view verb, std::string_view argument);
  // True once the server has answered the transfer command with 1xx, so it
  // may have begun to write the target.
  bool WasStarted() const { return started_; }

  bool Send(const char* bytes, std::size_t size);
  // Receives until the server closes the data connection.
  bool ReceiveAll(std::string& received);
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
  bool OpenPort();
  bool Accept();
  // After the data connection failed: the server's refusal explains it best
  // when one comes; otherwise the failure on our side is the error.
  void FailWithFinalReply(int code, std::string message);
  void ResetDataConnection() noexcept;

  FtpControlChannel& channel_;
  Poco::Net::ServerSocket listener_;
  Poco::Net::StreamSocket data_;
  FtpReply finalReply_;
  bool started_ = false;
  bool dataOpen_ = false;
};

}  // namespace ostrel
