#pragma once

#include <Poco/Exception.h>
#include <Poco/Net/SecureStreamSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ftp/FtpDataMode.h"
#include "ftp/FtpError.h"
#include "ftp/FtpFeatures.h"
#include "ftp/FtpHostAddress.h"
#include "ftp/FtpReply.h"
#include "ftp/FtpServerFacts.h"
#include "ftp/FtpTimeouts.h"
#include "ftp/FtpTls.h"
#include "platform/Translation.h"

namespace ostrel {

// The control connection: one command in one write, replies read whole by
// the multi-line rule, every wait bounded. After a timeout, an end of
// connection or a reply that is no FTP reply the channel is broken for good:
// a late reply would otherwise be taken as the answer to the next command.
class FtpControlChannel {
 public:
  // Connects within the connect timeout and reads the greeting. Throws
  // FtpError with the system's text or the server's refusal. Data
  // connections go in the facts' data mode, made passive when we are
  // certainly behind NAT.
  // With `tls`, TLS is taken as the address asks: at once (implicit), or by
  // AUTH TLS after the greeting, required or where offered; a certificate
  // that cannot be trusted ends the connection before anything else is sent.
  // `facts` are the connection's, shared with every channel it logs on with.
  FtpControlChannel(const FtpHostAddress& address, const FtpTimeouts& timeouts, std::shared_ptr<FtpServerFacts> facts,
                    std::shared_ptr<FtpTlsClient> tls);
  ~FtpControlChannel();
  FtpControlChannel(const FtpControlChannel&) = delete;
  FtpControlChannel& operator=(const FtpControlChannel&) = delete;

  // USER and PASS, then, over TLS, PBSZ 0 and PROT P so that data connections
  // are encrypted too; throws FtpError with the server's refusal.
  void LogOn(const std::string& user, const std::string& password);

  // False, with the error recorded, when the argument holds a CR, LF or NUL
  // byte: sent, it would end the command early and start another.
  bool AcceptsArgument(std::string_view argument);
  // Sends "verb argument" CR LF, or only the verb when the argument is empty.
  bool Send(std::string_view verb, std::string_view argument = {});
  // Sends the commands in one write: with Nagle off, separate writes of a
  // batch could still leave in separate segments, and a server that reads
  // one segment at a time would then see the batch as stray commands.
  bool SendTogether(const std::vector<FtpCommand>& commands);
  // Reads one whole reply within the reply timeout, or within `wait`.
  bool ReadReply(FtpReply& reply, std::optional<std::chrono::milliseconds> wait = std::nullopt);
  // Over TLS: wraps a new data connection as a TLS client that resumes this
  // connection's session; a plain connection's data connections stay plain.
  bool IsSecure() const { return tls_ != nullptr && secure_; }
  // Throws FtpError when its certificate cannot be trusted.
  Poco::Net::SecureStreamSocket SecureDataConnection(const Poco::Net::StreamSocket& data);
  // A data connection's session, which the next one resumes: with TLS 1.3 a
  // session ticket is good for one resumption at servers that demand reuse.
  void KeepSession(Poco::Net::Session::Ptr session) {
    if (session) latestSession_ = std::move(session);
  }

  // The server's address: data connections go to it and come only from it.
  const Poco::Net::SocketAddress& PeerAddress() const { return peer_; }
  // The control socket, for a wait that watches it beside a data socket.
  const Poco::Net::StreamSocket& Socket() const { return socket_; }
  // Reply bytes received already, which no wait on the socket would show.
  bool HasBufferedInput() { return !inbound_.empty() || socket_.available() > 0; }
  // Sends a command and reads its reply; true when the reply is of the
  // expected class (2 for "completed"). Otherwise the reply's text is the error.
  // The reply is awaited within the reply timeout, or within `wait`.
  bool Command(std::string_view verb, std::string_view argument, int expectedClass, FtpReply* reply = nullptr,
               std::optional<std::chrono::milliseconds> wait = std::nullopt);

  // Records a failure that leaves the connection usable.
  void RecordFailure(int code, std::string message);
  void RecordReplyFailure(const FtpReply& reply);
  // Records a failure after which the connection can no longer be trusted, and closes it.
  void Break(int code, std::string message);

  // Says goodbye (QUIT) when the connection still answers, then closes it. Never throws.
  void Quit() noexcept;

  bool IsBroken() const { return broken_; }
  // Breaks the connection when the user asked to stop; false then. An
  // upload in progress completes while it moves, and is given up once
  // nothing moved for quietAfterStop. Called at least every
  // kStopCheckInterval of every wait.
  bool ContinueWaiting();
  void SetUploading(bool uploading) {
    uploading_ = uploading;
    if (uploading) NoteMovement();
  }
  // The server took bytes of an upload or sent some: the transfer moves.
  void NoteMovement() { lastMovement_ = std::chrono::steady_clock::now(); }
  const FtpError& LastError() const { return lastError_; }
  const FtpTimeouts& Timeouts() const { return timeouts_; }
  FtpServerFacts& Facts() { return *facts_; }
  // A data port the server opened ahead, for the transfer that follows the
  // commands it was asked for with; that transfer connects to it instead of
  // asking again. Holds for this logon only.
  void KeepPortOpenedAhead(std::uint16_t port) { portOpenedAhead_ = port; }
  std::optional<std::uint16_t> TakePortOpenedAhead() { return std::exchange(portOpenedAhead_, std::nullopt); }
  // The name of an upload whose STOR went out with that port's EPSV: the
  // server waits for its data connection, and answers nothing else first.
  void NoteUploadSentAhead(std::string name) { uploadSentAhead_ = std::move(name); }
  const std::optional<std::string>& UploadSentAhead() const { return uploadSentAhead_; }
  std::optional<std::string> TakeUploadSentAhead() { return std::exchange(uploadSentAhead_, std::nullopt); }
  // TYPE I holds for one logon only.
  bool BinaryTypeSet() const { return binaryTypeSet_; }
  void SetBinaryType() { binaryTypeSet_ = true; }
  // The address the control connection runs from; data connections listen there.
  std::optional<Poco::Net::SocketAddress> LocalAddress();

 private:
  bool EnsureUsable();
  bool ReadLine(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds wait,
                const FtpReplyAssembler& assembler, std::string& line);
  void CloseSocket() noexcept;

  static unsigned NextTraceNumber();
  void Trace(const std::string& line) const;

  FtpTimeouts timeouts_;
  void StartTls(const std::string& where);

  Poco::Net::StreamSocket socket_;
  std::shared_ptr<FtpTlsClient> tls_;
  Poco::Net::SecureStreamSocket secureSocket_;  // socket_ as TLS sees it, once secure
  bool secure_ = false;
  Poco::Net::Session::Ptr latestSession_;
  Poco::Net::SocketAddress peer_;
  std::string where_;    // the server as messages name it
  std::string inbound_;  // received bytes not yet taken as lines
  bool broken_ = false;
  bool uploading_ = false;
  std::chrono::steady_clock::time_point lastMovement_ = std::chrono::steady_clock::now();
  std::string unusableMessage_ = Translate("The connection to the server was lost; log on again.");
  FtpError lastError_{0, ""};
  std::shared_ptr<FtpServerFacts> facts_;
  const unsigned traceNumber_;
  bool binaryTypeSet_ = false;
  std::optional<std::uint16_t> portOpenedAhead_;
  std::optional<std::string> uploadSentAhead_;
};

Poco::Timespan ToTimespan(std::chrono::milliseconds wait);
// True for a send or receive that ran out of its socket timeout: POCO reports
// a receive as TimeoutException but a send as an I/O error with EAGAIN.
bool IsSocketTimeout(const Poco::Exception& exception);

}  // namespace ostrel
