#include "ftp/FtpControlChannel.h"

#include <atomic>

#include <Poco/Net/DNS.h>
#include <Poco/Net/HostEntry.h>
#include <Poco/Net/IPAddress.h>
#include <Poco/Net/NetException.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Translation.h"

namespace ostrel {

namespace {

using Clock = std::chrono::steady_clock;

// Bounds against a server that never ends a line or a reply.
constexpr std::size_t kMaximumLineLength = 64 * 1024;
constexpr std::size_t kMaximumReplyLines = 10000;
constexpr std::size_t kMaximumReplySize = 1 << 20;
constexpr int kKeepAliveIdleSeconds = 60;

// The system's resolver cannot be given a time limit, so it runs on a thread
// of its own, left to finish by itself when the wait ends first.
std::vector<Poco::Net::IPAddress> ResolveHost(const std::string& host, std::chrono::milliseconds wait,
                                              const std::function<bool()>& stopRequested) {
  Poco::Net::IPAddress literal;
  if (Poco::Net::IPAddress::tryParse(host, literal)) return {literal};
  struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::vector<Poco::Net::IPAddress> addresses;
    std::string error;
  };
  const auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, host] {
    std::vector<Poco::Net::IPAddress> addresses;
    std::string error;
    try {
      addresses = Poco::Net::DNS::hostByName(host).addresses();
    } catch (const Poco::Exception& exception) {
      error = exception.displayText();
    }
    const std::lock_guard lock(lookup->mutex);
    lookup->addresses = std::move(addresses);
    lookup->error = std::move(error);
    lookup->finished = true;
    lookup->done.notify_one();
  }).detach();
  std::unique_lock lock(lookup->mutex);
  const auto deadline = Clock::now() + wait;
  while (!lookup->done.wait_for(lock, kStopCheckInterval, [&] { return lookup->finished; })) {
    if (stopRequested && stopRequested())
      throw FtpError(FtpError::kStopped, FormatText(Translate("Stopped while looking up %s."), {host}));
    if (Clock::now() >= deadline)
      throw FtpError(FtpError::kTimeout, FormatText(Translate("The name %s could not be looked up within %s."),
                                                    {host, DescribeWait(wait)}));
  }
  if (!lookup->error.empty()) throw FtpError(FtpError::kSystemError, lookup->error);
  return lookup->addresses;
}

std::string SystemErrorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

// Connects without blocking, so that a stop request ends the wait within
// kStopCheckInterval: a host that drops the connection request is a wait in
// which nothing moves. False when the time ran out; throws the system's error.
bool ConnectWithin(Poco::Net::StreamSocket& socket, const Poco::Net::SocketAddress& address,
                   std::chrono::milliseconds wait, const std::function<bool()>& stopRequested) {
  const auto deadline = Clock::now() + wait;
  socket.connectNB(address);
  for (;;) {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (remaining.count() <= 0) return false;
    if (socket.poll(ToTimespan(std::min(remaining, kStopCheckInterval)),
                    Poco::Net::Socket::SELECT_WRITE | Poco::Net::Socket::SELECT_ERROR))
      break;
    if (stopRequested && stopRequested()) throw FtpError(FtpError::kStopped, Translate("Stopped while connecting."));
  }
  const int error = socket.impl()->socketError();
  // The texts a blocking connect would have given.
  if (error == ECONNREFUSED) throw Poco::Net::ConnectionRefusedException();
  if (error != 0) throw Poco::Net::NetException(SystemErrorText(error), error);
  socket.setBlocking(true);
  return true;
}

// 10/8, 172.16/12, 192.168/16, the carrier-grade 100.64/10 and fc00::/7.
bool IsPrivateOrShared(const Poco::Net::IPAddress& address) {
  const auto* bytes = static_cast<const unsigned char*>(address.addr());
  if (address.family() == Poco::Net::AddressFamily::IPv6) return (bytes[0] & 0xFE) == 0xFC;
  return bytes[0] == 10 || (bytes[0] == 172 && (bytes[1] & 0xF0) == 16) || (bytes[0] == 192 && bytes[1] == 168) ||
         (bytes[0] == 100 && (bytes[1] & 0xC0) == 64);
}

bool IsPublic(const Poco::Net::IPAddress& address) {
  return !IsPrivateOrShared(address) && !address.isLoopback() && !address.isLinkLocal() && !address.isWildcard() &&
         !address.isMulticast() && !address.isSiteLocal();
}

// Shows a name with its control bytes spelled out, so the message stays one line.
std::string Printable(std::string_view text) {
  std::string result;
  for (char character : text) {
    if (character == '\r')
      result += "\\r";
    else if (character == '\n')
      result += "\\n";
    else if (character == '\0')
      result += "\\0";
    else
      result += character;
  }
  return result;
}

}  // namespace

Poco::Timespan ToTimespan(std::chrono::milliseconds wait) {
  return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(wait.count()) * 1000);
}

bool IsSocketTimeout(const Poco::Exception& exception) {
  return dynamic_cast<const Poco::TimeoutException*>(&exception) != nullptr || exception.code() == EAGAIN ||
         exception.code() == EWOULDBLOCK;
}

std::string DescribeWait(std::chrono::milliseconds wait) {
  if (wait.count() % 1000 != 0) return FormatText(Translate("%s ms"), {std::to_string(wait.count())});
  const auto seconds = wait.count() / 1000;
  return FormatText(TranslatePlural("%s second", "%s seconds", static_cast<unsigned long>(seconds)),
                    {std::to_string(seconds)});
}

FtpControlChannel::FtpControlChannel(const FtpHostAddress& address, const FtpTimeouts& timeouts,
                                     std::shared_ptr<FtpServerFacts> facts, std::shared_ptr<FtpTlsClient> tls)
    : timeouts_(timeouts), tls_(std::move(tls)), facts_(std::move(facts)), traceNumber_(NextTraceNumber()) {
  const std::string where = DescribeHostAddress(address);
  where_ = where;
  // The look-up and every address it gives share one connect timeout.
  const auto deadline = Clock::now() + timeouts_.connect;
  std::vector<Poco::Net::IPAddress> candidates = ResolveHost(address.host, timeouts_.connect, timeouts_.stopRequested);
  if (candidates.empty()) throw FtpError(FtpError::kSystemError, Translate("Host not found: ") + address.host);

  FtpError failure(FtpError::kTimeout, FormatText(Translate("Cannot connect to %s: no answer within %s."),
                                                  {where, DescribeWait(timeouts_.connect)}));
  bool connected = false;
  for (const auto& candidate : candidates) {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (remaining.count() <= 0) break;
    try {
      Poco::Net::StreamSocket socket(candidate.family());
      if (ConnectWithin(socket, Poco::Net::SocketAddress(candidate, address.port), remaining,
                        timeouts_.stopRequested)) {
        socket_ = socket;
        connected = true;
        break;
      }
      // The next address gets what is left of the time.
    } catch (const Poco::Exception& exception) {
      failure = FtpError(FtpError::kSystemError,
                         FormatText(Translate("Cannot connect to %s: %s"), {where, exception.displayText()}));
    }
  }
  if (!connected) throw failure;

  try {
    peer_ = socket_.peerAddress();
    // Commands are small and each waits for its reply; Nagle would hold them back.
    socket_.setNoDelay(true);
    socket_.setSendTimeout(ToTimespan(timeouts_.reply));
    // A long upload leaves the control connection idle; probes keep routers
    // from forgetting it.
    socket_.setKeepAlive(true);
    socket_.setOption(IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleSeconds);
    socket_.setOption(IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIdleSeconds);
    // Behind NAT the server can certainly not connect back: no time is spent on trying.
    if (IsPrivateOrShared(socket_.address().host()) && IsPublic(peer_.host())) facts_->dataMode = FtpDataMode::Passive;
  } catch (const Poco::Exception& exception) {
    throw FtpError(FtpError::kSystemError, exception.displayText());
  }
  if (tls_ != nullptr && address.tls == FtpTlsMode::Implicit) StartTls(where);

  // "120 ready in a few minutes" may come before the real greeting, all
  // within one bound.
  const auto greetingDeadline = Clock::now() + timeouts_.reply;
  FtpReply greeting;
  do {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(greetingDeadline - Clock::now());
    if (remaining.count() > 0 && ReadReply(greeting, remaining)) continue;
    if (remaining.count() > 0 && lastError_.Code() != FtpError::kTimeout) throw lastError_;
    throw FtpError(FtpError::kTimeout,
                   FormatText(Translate("The server did not greet within %s."), {DescribeWait(timeouts_.reply)}));
  } while (greeting.Class() == 1);
  if (greeting.Class() != 2) throw FtpError(greeting.code, greeting.Text());

  if (tls_ == nullptr || secure_) return;
  FtpReply reply;
  if (Command("AUTH", "TLS", 2, &reply)) {
    StartTls(where);
  } else if (!IsBroken() && tls_->TlsIsExpected()) {
    throw FtpError(FtpError::kProtocolError,
                   FormatText(Translate("%s has a certificate you trust, yet now offers no TLS (%s): somebody on the "
                                        "way may be stripping it. Nothing was sent."),
                              {where, lastError_.Message()}));
  } else if (IsBroken() || address.tls == FtpTlsMode::Required) {
    throw FtpError(reply.code != 0 ? reply.code : lastError_.Code(),
                   FormatText(Translate("%s does not offer TLS (%s); nothing was sent. Give the site as ftp://%s to "
                                        "publish without encryption."),
                              {where, lastError_.Message(), DescribeHostAddress(address)}));
  }
}

void FtpControlChannel::StartTls(const std::string& where) {
  try {
    secureSocket_ = tls_->Secure(socket_);
    socket_ = secureSocket_;
  } catch (const Poco::Exception& exception) {
    throw FtpError(FtpError::kProtocolError,
                   FormatText(Translate("TLS with %s failed: %s"), {where, exception.displayText()}));
  }
  tls_->CheckTrust(secureSocket_, where);
  secure_ = true;
  facts_->notice = Translate("Logging on (TLS)...");
}

Poco::Net::SecureStreamSocket FtpControlChannel::SecureDataConnection(const Poco::Net::StreamSocket& data) {
  Poco::Net::SecureStreamSocket secured =
      tls_->Secure(data, latestSession_ ? latestSession_ : secureSocket_.currentSession());
  // Whoever answers at the data port gets the page: its certificate is
  // checked as the control connection's was (a resumed session was).
  tls_->CheckTrust(secured, where_);
  return secured;
}

FtpControlChannel::~FtpControlChannel() { CloseSocket(); }

bool FtpControlChannel::ContinueWaiting() {
  // Asked during an upload too, since the question is also when input is handled.
  if (!timeouts_.stopRequested || !timeouts_.stopRequested()) return true;
  if (!uploading_) {
    Break(FtpError::kStopped, Translate("Stopped before the server answered."));
    return false;
  }
  if (Clock::now() - lastMovement_ < timeouts_.quietAfterStop) return true;
  Break(FtpError::kStopped, FormatText(Translate("Stopped: the server had taken no data and sent no answer for %s."),
                                       {DescribeWait(timeouts_.quietAfterStop)}));
  return false;
}

void FtpControlChannel::LogOn(const std::string& user, const std::string& password) {
  if (!AcceptsArgument(user) || !AcceptsArgument(password))
    throw FtpError(FtpError::kUnsafeName,
                   Translate("The user name or the password holds a line break, which FTP cannot carry."));
  FtpReply reply;
  if (!Send("USER", user) || !ReadReply(reply)) throw lastError_;
  if (reply.code == 331) {
    if (!Send("PASS", password) || !ReadReply(reply)) throw lastError_;
  }
  if (reply.code == 332)
    throw FtpError(reply.code,
                   reply.Text() + "\n" + Translate("The server asks for an account, which this program cannot give."));
  if (reply.Class() != 2) throw FtpError(reply.code, reply.Text());
  if (IsSecure() && !(Command("PBSZ", "0", 2) && Command("PROT", "P", 2))) throw lastError_;
}

bool FtpControlChannel::EnsureUsable() {
  if (!broken_) return true;
  lastError_ = FtpError(FtpError::kConnectionBroken, unusableMessage_);
  return false;
}

bool FtpControlChannel::AcceptsArgument(std::string_view argument) {
  if (argument.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos) return true;
  RecordFailure(
      FtpError::kUnsafeName,
      FormatText(
          Translate("The name \"%s\" holds a line break or a zero byte, which FTP cannot carry; nothing was sent."),
          {Printable(argument)}));
  return false;
}

// Several connections talk at once: each line says whose it is. A new logon
// after a lost connection gets a number of its own, which shows it too.
unsigned FtpControlChannel::NextTraceNumber() {
  static std::atomic<unsigned> made{0};
  return ++made;
}

void FtpControlChannel::Trace(const std::string& line) const {
  if (timeouts_.trace) timeouts_.trace("[" + std::to_string(traceNumber_) + "] " + line);
}

bool FtpControlChannel::Send(std::string_view verb, std::string_view argument) {
  return SendTogether({{verb, argument}});
}

bool FtpControlChannel::SendTogether(const std::vector<FtpCommand>& commands) {
  if (!EnsureUsable()) return false;
  std::string batch;
  for (const FtpCommand& pending : commands) {
    if (!AcceptsArgument(pending.argument)) return false;
    std::string command(pending.verb);
    if (!pending.argument.empty()) {
      command += ' ';
      command += pending.argument;
    }
    Trace("> " + (pending.verb == "PASS" && !pending.argument.empty() ? "PASS ******" : command));
    batch += command + "\r\n";
  }
  try {
    std::size_t sent = 0;
    while (sent < batch.size())
      sent += static_cast<std::size_t>(
          socket_.sendBytes(batch.data() + sent, static_cast<int>(batch.size() - sent), MSG_NOSIGNAL));
    return true;
  } catch (const Poco::Exception& exception) {
    if (IsSocketTimeout(exception))
      Break(FtpError::kTimeout,
            FormatText(Translate("The server took no command for %s."), {DescribeWait(timeouts_.reply)}));
    else
      Break(FtpError::kSystemError, Translate("Cannot send to the server: ") + exception.displayText());
  }
  return false;
}

bool FtpControlChannel::ReadLine(Clock::time_point deadline, std::chrono::milliseconds wait,
                                 const FtpReplyAssembler& assembler, std::string& line) {
  for (;;) {
    const auto newline = inbound_.find('\n');
    if (newline != std::string::npos) {
      line.assign(inbound_, 0, newline);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      inbound_.erase(0, newline + 1);
      return true;
    }
    if (inbound_.size() > kMaximumLineLength) {
      Break(FtpError::kProtocolError, Translate("The server sent a reply line longer than 64 KiB."));
      return false;
    }
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    try {
      if (remaining.count() <= 0) {
        Break(FtpError::kTimeout, FormatText(Translate("The server did not answer within %s."), {DescribeWait(wait)}));
        return false;
      }
      // TLS may hold a whole record already read from the socket.
      if (socket_.available() <= 0 &&
          !socket_.poll(ToTimespan(std::min(remaining, kStopCheckInterval)), Poco::Net::Socket::SELECT_READ)) {
        if (!ContinueWaiting()) return false;
        continue;
      }
      char buffer[4096];
      const int received = socket_.receiveBytes(buffer, sizeof buffer);
      if (received > 0) {
        NoteMovement();
        inbound_.append(buffer, static_cast<std::size_t>(received));
        continue;
      }
    } catch (const Poco::Exception& exception) {
      Break(FtpError::kSystemError, Translate("The connection to the server failed: ") + exception.displayText());
      return false;
    }
    std::string partial = assembler.IsInsideReply() ? assembler.Reply().Text() : std::string();
    if (!inbound_.empty()) partial += (partial.empty() ? "" : "\n") + inbound_;
    Break(FtpError::kConnectionClosed,
          partial.empty() ? Translate("The server closed the connection.")
                          : Translate("The server closed the connection in the middle of its reply: ") + partial);
    return false;
  }
}

bool FtpControlChannel::ReadReply(FtpReply& reply, std::optional<std::chrono::milliseconds> wait) {
  if (!EnsureUsable()) return false;
  // One deadline for the whole reply: a server that trickles lines cannot stretch it.
  const std::chrono::milliseconds allowed = wait.value_or(timeouts_.reply);
  const auto deadline = Clock::now() + allowed;
  FtpReplyAssembler assembler;
  std::string line;
  std::size_t size = 0;
  for (std::size_t lines = 0; lines < kMaximumReplyLines && size <= kMaximumReplySize; ++lines) {
    if (!ReadLine(deadline, allowed, assembler, line)) return false;
    size += line.size();
    switch (assembler.AddLine(line)) {
      case FtpReplyAssembler::Progress::NeedsMore:
        continue;
      case FtpReplyAssembler::Progress::Malformed:
        Break(FtpError::kProtocolError,
              Translate("The server sent something that is not an FTP reply: ") + Printable(line));
        return false;
      case FtpReplyAssembler::Progress::Complete:
        reply = assembler.Reply();
        for (const std::string& replyLine : reply.lines) Trace("< " + replyLine);
        // 421: the server is closing the connection; it will answer nothing more.
        if (reply.code == 421) {
          CloseSocket();
          broken_ = true;
        }
        return true;
    }
  }
  Break(FtpError::kProtocolError, Translate("The server sent a reply of more than 10000 lines or 1 MiB."));
  return false;
}

bool FtpControlChannel::Command(std::string_view verb, std::string_view argument, int expectedClass, FtpReply* reply,
                                std::optional<std::chrono::milliseconds> wait) {
  FtpReply received;
  if (!Send(verb, argument) || !ReadReply(received, wait)) return false;
  const bool expected = received.Class() == expectedClass;
  if (!expected) RecordReplyFailure(received);
  if (reply != nullptr) *reply = std::move(received);
  return expected;
}

void FtpControlChannel::RecordFailure(int code, std::string message) {
  lastError_ = FtpError(code, std::move(message));
}

void FtpControlChannel::RecordReplyFailure(const FtpReply& reply) {
  lastError_ = FtpError(reply.code, reply.Text());
  // 522: the data connection's TLS was not acceptable, in practice a session
  // that could not be resumed; a new logon at TLS 1.2 repeats the operation.
  if (reply.code == 522 && IsSecure() && tls_->LimitToTls12()) Break(reply.code, reply.Text());
}

void FtpControlChannel::Break(int code, std::string message) {
  lastError_ = FtpError(code, std::move(message));
  broken_ = true;
  CloseSocket();
}

void FtpControlChannel::Quit() noexcept {
  try {
    if (!broken_) {
      FtpReply goodbye;
      if (Send("QUIT")) ReadReply(goodbye);
    }
  } catch (...) {
    // Saying goodbye is a courtesy; the socket is closed below all the same.
  }
  broken_ = true;
  unusableMessage_ = Translate("The connection to the server has been closed.");
  CloseSocket();
}

std::optional<Poco::Net::SocketAddress> FtpControlChannel::LocalAddress() {
  try {
    return socket_.address();
  } catch (const Poco::Exception& exception) {
    Break(FtpError::kSystemError, Translate("The connection to the server failed: ") + exception.displayText());
    return std::nullopt;
  }
}

void FtpControlChannel::CloseSocket() noexcept {
  try {
    socket_.close();
  } catch (...) {
    // Nothing useful can be done about a failing close.
  }
}

}  // namespace ostrel
