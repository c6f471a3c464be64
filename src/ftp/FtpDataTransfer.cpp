#include "ftp/FtpDataTransfer.h"

#include <Poco/Net/IPAddress.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "platform/Translation.h"

namespace ostrel {

namespace {

// "|1|127.0.0.1|40685|" or "|2|::1|40685|".
std::string EprtArgument(const Poco::Net::SocketAddress& address) {
  const bool isIpv6 = address.family() == Poco::Net::AddressFamily::IPv6;
  std::string host = address.host().toString();
  const auto scope = host.find('%');  // a link-local scope means nothing to the server
  if (scope != std::string::npos) host.resize(scope);
  return std::string(isIpv6 ? "|2|" : "|1|") + host + "|" + std::to_string(address.port()) + "|";
}

// "127,0,0,1,158,237": the address's bytes, then the port's high and low byte.
std::string PortArgument(const Poco::Net::SocketAddress& address) {
  std::string argument = address.host().toString();
  for (char& character : argument)
    if (character == '.') character = ',';
  return argument + "," + std::to_string(address.port() / 256) + "," + std::to_string(address.port() % 256);
}

// "227 Entering Passive Mode (192,168,1,2,158,237)": the last two numbers
// are the port. The address is not used: a server behind NAT announces its
// private one, and a hostile one could name anybody's.
std::optional<std::uint16_t> PasvPort(const std::string& text) {
  std::vector<unsigned> numbers;
  const auto open = text.find_first_of("0123456789", text.find(' '));
  for (std::size_t index = open; index != std::string::npos && index < text.size() && numbers.size() < 6;) {
    if (text[index] < '0' || text[index] > '9') break;
    unsigned value = 0;
    std::size_t digits = 0;
    for (; index < text.size() && text[index] >= '0' && text[index] <= '9' && digits < 4; ++index, ++digits)
      value = value * 10 + static_cast<unsigned>(text[index] - '0');
    if (value > 255) return std::nullopt;
    numbers.push_back(value);
    if (index < text.size() && text[index] == ',') ++index;
  }
  if (numbers.size() != 6) return std::nullopt;
  const unsigned port = numbers[4] * 256 + numbers[5];
  if (port == 0) return std::nullopt;
  return static_cast<std::uint16_t>(port);
}

bool IsDataConnectionFailure(const FtpReply& reply) { return reply.code == 425 || reply.code == 426; }

// Longer than any server takes to read the end of a transfer that arrived,
// or to connect back: beyond it, active data connections are stalling.
constexpr std::chrono::seconds kSlowActiveEnd{5};
// Far beyond it: the active data connection is not served any more.
constexpr std::chrono::seconds kStalledActiveEnd{15};

// Small enough to go out at once when the socket reports room, large enough
// to keep system calls few.
constexpr std::size_t kSendPiece = 64 * 1024;

FtpDataMode Other(FtpDataMode mode) { return mode == FtpDataMode::Active ? FtpDataMode::Passive : FtpDataMode::Active; }

std::string SwitchNotice(FtpDataMode now) {
  return now == FtpDataMode::Passive ? Translate("Active data connections fail here; using passive mode.")
                                     : Translate("Passive data connections fail here; using active mode.");
}

}  // namespace

std::optional<std::uint16_t> EpsvPort(const std::string& text) {
  const auto open = text.find('(');
  if (open == std::string::npos || open + 4 >= text.size()) return std::nullopt;
  const char delimiter = text[open + 1];
  if (text.compare(open + 1, 3, std::string(3, delimiter)) != 0) return std::nullopt;
  const auto end = text.find(delimiter, open + 4);
  if (end == std::string::npos || end == open + 4 || end - open - 4 > 5) return std::nullopt;
  unsigned port = 0;
  for (std::size_t index = open + 4; index < end; ++index) {
    if (text[index] < '0' || text[index] > '9') return std::nullopt;
    port = port * 10 + static_cast<unsigned>(text[index] - '0');
  }
  if (port == 0 || port > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(port);
}

FtpDataTransfer::~FtpDataTransfer() {
  try {
    listener_.close();
    data_.close();
  } catch (...) {
    // Closing a socket that is already gone is nothing to report.
  }
}

bool FtpDataTransfer::Start(std::string_view verb, std::string_view argument) {
  if (!channel_.AcceptsArgument(argument)) return false;
  FtpServerFacts& facts = channel_.Facts();
  if (facts.activeStalledInRun && *facts.activeStalledInRun) facts.dataMode = FtpDataMode::Passive;
  const FtpDataMode first = facts.dataMode;
  auto attemptIn = [&](FtpDataMode mode) {
    return mode == FtpDataMode::Active ? TryActive(verb, argument) : TryPassive(verb, argument);
  };
  Attempt attempt = attemptIn(first);
  if (attempt == Attempt::DataConnectionFailed) {
    ResetDataConnection();
    started_ = false;
    attempt = attemptIn(Other(first));
    if (attempt == Attempt::Started) {
      facts.dataMode = Other(first);
      facts.notice = SwitchNotice(facts.dataMode);
    }
  } else if (attempt == Attempt::OutOfStep && first == FtpDataMode::Active) {
    // The server may still answer the command at any time, so this
    // connection can no longer tell whose reply is whose; the next logon
    // goes on in passive mode.
    facts.dataMode = FtpDataMode::Passive;
    facts.notice = SwitchNotice(facts.dataMode);
  }
  if (attempt == Attempt::Started && channel_.IsSecure()) {
    try {
      plainData_ = data_;
      secureData_ = channel_.SecureDataConnection(data_);
      data_ = secureData_;
    } catch (const Poco::Exception& exception) {
      FailWithFinalReply(FtpError::kProtocolError,
                         Translate("TLS on the data connection failed: ") + exception.displayText());
      return false;
    } catch (const FtpError& error) {
      // Not another try: the next data connection would meet the same.
      ResetDataConnection();
      channel_.Break(FtpError::kUntrustedCertificate, Translate("The data connection: ") + error.Message());
      return false;
    }
  }
  if (attempt == Attempt::OutOfStep)
    channel_.Break(FtpError::kTimeout, FormatText(Translate("The server did not open the data connection within %s."),
                                                  {DescribeWait(channel_.Timeouts().dataConnect)}));
  return attempt == Attempt::Started;
}

FtpDataTransfer::Attempt FtpDataTransfer::TryActive(std::string_view verb, std::string_view argument) {
  const Attempt announced = OpenPort();
  if (announced != Attempt::Started) return announced;
  if (!channel_.Send(verb, argument)) return Attempt::Refused;
  return AcceptFromServer();
}

FtpDataTransfer::Attempt FtpDataTransfer::TryPassive(std::string_view verb, std::string_view argument) {
  if (const auto ahead = channel_.TakePortOpenedAhead()) {
    const bool sentAhead = verb == "STOR" && channel_.UploadSentAhead() == argument;
    if (sentAhead) channel_.TakeUploadSentAhead();
    if (std::string failure; !ConnectToServer(*ahead, &failure)) {
      // Where nothing waits for this port but us, the transfer asks for a
      // new one as usual; where the server waits for a connection we cannot
      // make, only a new logon is in step.
      if (!sentAhead) return TryPassive(verb, argument);
      channel_.Break(FtpError::kSystemError, std::move(failure));
      return Attempt::Refused;
    }
    if (!sentAhead && !channel_.Send(verb, argument)) return Attempt::Refused;
    FtpReply refusal;
    const Attempt preliminary = ReadPreliminaryReply(&refusal);
    if (refusal.code != 503 || !sentAhead) return preliminary;
    // Refused for coming behind other commands: asked again, alone.
    channel_.Facts().oneCommandAtATime = true;
    ResetDataConnection();
    return TryPassive(verb, argument);
  }
  FtpServerFacts& facts = channel_.Facts();
  const bool together = facts.epsvAnswered && !facts.epsvRefused && !facts.oneCommandAtATime;
  std::uint16_t port = 0;
  const Attempt entered = together ? EnterPassiveModeTogether(verb, argument, port) : EnterPassiveMode(port);
  if (entered == Attempt::Retry) return TryPassive(verb, argument);
  if (entered != Attempt::Started) return entered;
  if (std::string failure; !ConnectToServer(port, &failure)) {
    if (!together) {
      channel_.RecordFailure(FtpError::kSystemError, std::move(failure));
      return Attempt::DataConnectionFailed;
    }
    // The server may wait for this connection for the command sent with
    // EPSV: only a new logon is sure to be in step, and it tries one
    // command at a time, then the other mode.
    facts.oneCommandAtATime = true;
    channel_.Break(FtpError::kSystemError, std::move(failure));
    return Attempt::Refused;
  }
  if (!together && !channel_.Send(verb, argument)) return Attempt::Refused;
  FtpReply refusal;
  const Attempt preliminary = ReadPreliminaryReply(&refusal);
  if (!together || preliminary == Attempt::Started) return preliminary;
  // "Bad sequence" right after a data port refuses how the command came,
  // not what it asks: a server that takes no command behind another. One
  // that lost the command times out, and the next logon goes one at a time.
  const bool refusedTogether = refusal.code == 503;
  if (refusedTogether || channel_.IsBroken()) facts.oneCommandAtATime = true;
  if (!refusedTogether) return preliminary;
  ResetDataConnection();
  return TryPassive(verb, argument);
}

bool FtpDataTransfer::ConnectToServer(std::uint16_t port, std::string* failure) {
  const Poco::Net::SocketAddress server(channel_.PeerAddress().host(), port);
  try {
    Poco::Net::StreamSocket socket(server.family());
    socket.connect(server, ToTimespan(channel_.Timeouts().dataConnect));
    data_ = socket;
    dataOpen_ = true;
    data_.setLinger(true, 0);
    data_.setSendTimeout(ToTimespan(channel_.Timeouts().data));
    data_.setReceiveTimeout(ToTimespan(channel_.Timeouts().data));
    return true;
  } catch (const Poco::Exception& exception) {
    if (failure != nullptr)
      *failure = FormatText(Translate("Cannot open the data connection to %s: %s"),
                            {server.toString(), exception.displayText()});
    return false;
  }
}

FtpDataTransfer::Attempt FtpDataTransfer::EnterPassiveModeTogether(std::string_view verb, std::string_view argument,
                                                                   std::uint16_t& port) {
  FtpServerFacts& facts = channel_.Facts();
  FtpReply reply;
  if (!channel_.SendTogether({{"EPSV", {}}, {verb, argument}})) return Attempt::Refused;
  if (!channel_.ReadReply(reply)) {
    facts.oneCommandAtATime = true;
    return Attempt::Refused;
  }
  if (reply.Class() == 2) {
    if (const auto announced = EpsvPort(reply.Text())) {
      port = *announced;
      return Attempt::Started;
    }
  } else if (reply.Class() == 4 || reply.Class() == 5) {
    // Without a data port the transfer command is refused too; once both
    // answers are in, the connection is in step again.
    FtpReply second;
    if (!channel_.ReadReply(second)) return Attempt::Refused;
    if (second.Class() == 4 || second.Class() == 5) {
      facts.oneCommandAtATime = true;
      return Attempt::Retry;
    }
  }
  // Whose answer is whose can no longer be told: the next logon goes one
  // command at a time.
  facts.oneCommandAtATime = true;
  channel_.Break(FtpError::kProtocolError,
                 Translate("The server answered commands sent together out of step: ") + reply.Text());
  return Attempt::Refused;
}

FtpDataTransfer::Attempt FtpDataTransfer::OpenPort() {
  const auto local = channel_.LocalAddress();
  if (!local) return Attempt::Refused;
  try {
    listener_ = Poco::Net::ServerSocket();
    listener_.bind(Poco::Net::SocketAddress(local->host(), 0), false);
    listener_.listen(1);
  } catch (const Poco::Exception& exception) {
    channel_.RecordFailure(FtpError::kSystemError, Translate("Cannot open a data port: ") + exception.displayText());
    return Attempt::DataConnectionFailed;
  }
  const Poco::Net::SocketAddress port = listener_.address();
  FtpServerFacts& facts = channel_.Facts();
  const bool isIpv6 = port.family() == Poco::Net::AddressFamily::IPv6;
  FtpReply reply;
  if (!facts.eprtRefused) {
    const auto asked = std::chrono::steady_clock::now();
    // Servers that connect back before they answer take a round trip more,
    // never seconds; one that takes longer than kStalledActiveEnd has
    // stopped serving this session's active data connections.
    const bool accepted =
        channel_.Command("EPRT", EprtArgument(port), 2, &reply,
                         std::min<std::chrono::milliseconds>(channel_.Timeouts().reply, kStalledActiveEnd));
    if (std::chrono::steady_clock::now() - asked >= kSlowActiveEnd)
      AvoidActiveMode(Translate("The server was slow to answer over an active data connection; using passive mode."));
    if (accepted) return Attempt::Started;
    if (channel_.IsBroken()) return Attempt::Refused;
    // Only a server that does not know EPRT gets PORT, and then for good.
    if (reply.Class() != 5 || isIpv6) return Attempt::DataConnectionFailed;
    facts.eprtRefused = true;
  }
  if (channel_.Command("PORT", PortArgument(port), 2, &reply)) return Attempt::Started;
  return channel_.IsBroken() ? Attempt::Refused : Attempt::DataConnectionFailed;
}

FtpDataTransfer::Attempt FtpDataTransfer::EnterPassiveMode(std::uint16_t& port) {
  FtpServerFacts& facts = channel_.Facts();
  FtpReply reply;
  if (!facts.epsvRefused) {
    if (channel_.Command("EPSV", {}, 2, &reply)) {
      if (const auto announced = EpsvPort(reply.Text())) {
        port = *announced;
        facts.epsvAnswered = true;
        return Attempt::Started;
      }
      channel_.RecordFailure(FtpError::kProtocolError,
                             Translate("The server's answer names no data port: ") + reply.Text());
      return Attempt::DataConnectionFailed;
    }
    if (channel_.IsBroken()) return Attempt::Refused;
    // PASV carries IPv4 only; a server that knows EPSV meant its refusal.
    if (reply.Class() != 5 || channel_.PeerAddress().family() == Poco::Net::AddressFamily::IPv6)
      return Attempt::DataConnectionFailed;
    facts.epsvRefused = true;
  }
  if (!channel_.Command("PASV", {}, 2, &reply))
    return channel_.IsBroken() ? Attempt::Refused : Attempt::DataConnectionFailed;
  const auto announced = PasvPort(reply.Text());
  if (!announced) {
    channel_.RecordFailure(FtpError::kProtocolError,
                           Translate("The server's answer names no data port: ") + reply.Text());
    return Attempt::DataConnectionFailed;
  }
  port = *announced;
  return Attempt::Started;
}

FtpDataTransfer::Attempt FtpDataTransfer::ReadPreliminaryReply(FtpReply* refusal) {
  FtpReply reply;
  if (!channel_.ReadReply(reply)) return Attempt::Refused;
  if (reply.Class() == 1) {
    started_ = true;
    return Attempt::Started;
  }
  channel_.RecordReplyFailure(reply);
  if (refusal != nullptr) *refusal = reply;
  return IsDataConnectionFailure(reply) ? Attempt::DataConnectionFailed : Attempt::Refused;
}

FtpDataTransfer::Attempt FtpDataTransfer::AcceptFromServer() {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + channel_.Timeouts().dataConnect;
  const Poco::Net::IPAddress server = channel_.PeerAddress().host();
  try {
    for (;;) {
      const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      // Some servers connect as soon as they get EPRT, others at the transfer
      // command; the connection waits in the listen queue either way. A
      // server that gives up says so on the control connection, which is
      // watched too, so that its refusal ends the wait at once.
      Poco::Net::Socket::SocketList readable{listener_, channel_.Socket()};
      Poco::Net::Socket::SocketList writable;
      Poco::Net::Socket::SocketList failed;
      if (remaining.count() <= 0 || Poco::Net::Socket::select(readable, writable, failed, ToTimespan(remaining)) == 0)
        return Attempt::OutOfStep;
      if (std::find(readable.begin(), readable.end(), listener_) != readable.end()) {
        Poco::Net::SocketAddress client;
        Poco::Net::StreamSocket connection = listener_.acceptConnection(client);
        // Anybody on the way may race the server to the port: only the
        // server's own connection gets the page, or may feed us a listing.
        if (client.host() != server) {
          connection.close();
          continue;
        }
        data_ = connection;
        dataOpen_ = true;
        listener_.close();
        // Whenever the program ends before the transfer did, even killed,
        // the server then sees a reset, not a clean end it could take for a
        // whole file.
        data_.setLinger(true, 0);
        data_.setSendTimeout(ToTimespan(channel_.Timeouts().data));
        data_.setReceiveTimeout(ToTimespan(channel_.Timeouts().data));
        return started_ ? Attempt::Started : ReadPreliminaryReply();
      }
      if (started_) {
        // After its 1xx the server has only a failure left to say.
        FtpReply reply;
        if (!channel_.ReadReply(reply)) return Attempt::Refused;
        channel_.RecordReplyFailure(reply);
        return IsDataConnectionFailure(reply) ? Attempt::DataConnectionFailed : Attempt::Refused;
      }
      const Attempt preliminary = ReadPreliminaryReply();
      if (preliminary != Attempt::Started) return preliminary;
    }
  } catch (const Poco::Exception& exception) {
    FailWithFinalReply(FtpError::kSystemError, Translate("The data connection failed: ") + exception.displayText());
    return Attempt::Refused;
  }
}

bool FtpDataTransfer::Send(const char* bytes, std::size_t size) {
  using Clock = std::chrono::steady_clock;
  const std::chrono::milliseconds dataTimeout = channel_.Timeouts().data;
  auto lastProgress = Clock::now();
  try {
    while (size > 0) {
      // Input is handled every 100 ms however the socket fares, across the
      // sends of one transfer, and the socket is written only when it takes
      // bytes, in pieces.
      const auto sinceCheck = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastInputCheck_);
      if (sinceCheck >= kStopCheckInterval) {
        if (!channel_.ContinueWaiting()) return false;
        lastInputCheck_ = Clock::now();
        continue;
      }
      if (!data_.poll(ToTimespan(kStopCheckInterval - sinceCheck), Poco::Net::Socket::SELECT_WRITE)) {
        if (Clock::now() - lastProgress < dataTimeout) continue;
        FailWithFinalReply(FtpError::kTimeout,
                           FormatText(Translate("The server took no data for %s."), {DescribeWait(dataTimeout)}));
        return false;
      }
      const int sent = data_.sendBytes(bytes, static_cast<int>(std::min(size, kSendPiece)), MSG_NOSIGNAL);
      channel_.NoteMovement();
      bytes += sent;
      size -= static_cast<std::size_t>(sent);
      lastProgress = Clock::now();
    }
    return true;
  } catch (const Poco::Exception& exception) {
    if (IsSocketTimeout(exception))
      FailWithFinalReply(FtpError::kTimeout,
                         FormatText(Translate("The server took no data for %s."), {DescribeWait(dataTimeout)}));
    else
      FailWithFinalReply(FtpError::kSystemError, Translate("The data connection failed: ") + exception.displayText());
  }
  return false;
}

bool FtpDataTransfer::ReceiveAll(std::string& received, std::size_t maximumSize) {
  using Clock = std::chrono::steady_clock;
  const FtpTimeouts& timeouts = channel_.Timeouts();
  const auto deadline = Clock::now() + timeouts.listing;
  auto lastData = Clock::now();
  try {
    char buffer[64 * 1024];
    for (;;) {
      const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (remaining.count() <= 0) {
        // Our bound, not whatever the server then says about the cut, is the reason.
        Abandon(FtpError::kTimeout, FormatText(Translate("The server did not finish sending within %s."),
                                               {DescribeWait(timeouts.listing)}));
        return false;
      }
      if (data_.available() <= 0 &&
          !data_.poll(ToTimespan(std::min(remaining, kStopCheckInterval)), Poco::Net::Socket::SELECT_READ)) {
        if (!channel_.ContinueWaiting()) return false;
        if (Clock::now() - lastData < timeouts.data) continue;
        FailWithFinalReply(FtpError::kTimeout,
                           FormatText(Translate("The server sent no data for %s."), {DescribeWait(timeouts.data)}));
        return false;
      }
      lastData = Clock::now();
      const int count = data_.receiveBytes(buffer, sizeof buffer);
      if (count == 0) return true;
      if (received.size() + static_cast<std::size_t>(count) > maximumSize) {
        Abandon(FtpError::kProtocolError,
                FormatText(Translate("The server sent more than %s MiB for one listing; it was not read."),
                           {std::to_string(maximumSize >> 20)}));
        return false;
      }
      received.append(buffer, static_cast<std::size_t>(count));
    }
  } catch (const Poco::Exception& exception) {
    FailWithFinalReply(FtpError::kSystemError, Translate("The data connection failed: ") + exception.displayText());
    return false;
  }
}

bool FtpDataTransfer::Finish(std::optional<std::int64_t> uploadedBytes) {
  try {
    // Over TLS the end is a close_notify: without it the server may take a
    // cut file for a whole one, and with TLS 1.3 bytes still on their way
    // would be lost if the socket closed before the final reply.
    if (channel_.IsSecure()) {
      // close_notify, then the end of our half only. POCO's TLS shutdown
      // also shuts both halves of the TCP connection when the socket it
      // wraps counts as blocking (the wrapper's own flag is not the one it
      // reads), and TLS 1.3 records the server still sends (session
      // tickets) would then meet a reset that throws away what was still
      // unsent of the upload. The alert goes out once there is room for it.
      if (!AwaitRoomToSend()) return false;
      plainData_.setBlocking(false);
      try {
        secureData_.shutdown();
      } catch (const Poco::Exception&) {
        // A close_notify that could not go out: the final reply tells.
      }
      plainData_.setBlocking(true);
      ::shutdown(secureData_.impl()->sockfd(), SHUT_WR);
      // What the server still sends (its close_notify, session tickets) is
      // read, briefly, so that the next data connection has a fresh session
      // to resume.
      char rest[4096];
      while (data_.poll(ToTimespan(std::chrono::milliseconds(200)), Poco::Net::Socket::SELECT_READ) &&
             data_.receiveBytes(rest, sizeof rest) > 0) {
      }
      channel_.KeepSession(secureData_.currentSession());
    } else {
      data_.shutdownSend();
    }
  } catch (const Poco::Exception&) {
    // A receiving transfer's peer may have gone already; for a sending one
    // the server's final reply says whether it got every byte.
  }
  if (uploadedBytes && !channel_.IsSecure() && !AwaitEndOfUpload()) {
    ResetDataConnection();
    return false;
  }
  // The final reply comes once the server has read everything; closing our
  // side before it could throw away bytes still on their way.
  FtpReply& reply = finalReply_;
  const FtpTimeouts& timeouts = channel_.Timeouts();
  const bool replied = channel_.ReadReply(
      reply, uploadedBytes ? std::max(timeouts.reply,
                                      timeouts.finalReply + timeouts.finalReplyPerMebibyte * (*uploadedBytes >> 20))
                           : timeouts.reply);
  try {
    data_.close();
  } catch (const Poco::Exception&) {
    // The transfer's outcome is in the reply, not in the close.
  }
  dataOpen_ = false;
  if (!replied) return false;
  if (reply.Class() != 2) {
    channel_.RecordReplyFailure(reply);
    return false;
  }
  return true;
}

bool FtpDataTransfer::AwaitRoomToSend() {
  using Clock = std::chrono::steady_clock;
  const std::chrono::milliseconds dataTimeout = channel_.Timeouts().data;
  for (const auto started = Clock::now();;) {
    if (data_.poll(ToTimespan(kStopCheckInterval), Poco::Net::Socket::SELECT_WRITE)) return true;
    if (!channel_.ContinueWaiting()) return false;
    if (Clock::now() - started >= dataTimeout) {
      FailWithFinalReply(FtpError::kTimeout,
                         FormatText(Translate("The server took no data for %s."), {DescribeWait(dataTimeout)}));
      return false;
    }
  }
}

bool FtpDataTransfer::AwaitEndOfUpload() {
  using Clock = std::chrono::steady_clock;
  const std::chrono::milliseconds wait = channel_.Timeouts().reply;
  auto lastMovement = Clock::now();
  int unsent = -1;
  const bool active = channel_.Facts().dataMode == FtpDataMode::Active;
  try {
    while (!channel_.HasBufferedInput()) {
      // Bytes still leaving our side are movement: on a slow link the end
      // of a large upload may take long to get out.
      int queued = 0;
      if (::ioctl(data_.impl()->sockfd(), SIOCOUTQ, &queued) == 0 && queued != unsent) {
        unsent = queued;
        lastMovement = Clock::now();
        channel_.NoteMovement();
      }
      const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastMovement);
      if (active && quiet >= kSlowActiveEnd)
        AvoidActiveMode(Translate(
            "The server was slow to read the end of an upload over an active data connection; using passive mode."));
      // What stalls there waits for a timer of the server's, minutes away;
      // the next logon, passive, gets on with it sooner.
      if (active && quiet >= kStalledActiveEnd) {
        channel_.Break(FtpError::kTimeout,
                       FormatText(Translate("The server did not read the end of an upload within %s."),
                                  {DescribeWait(kStalledActiveEnd)}));
        return false;
      }
      if (quiet >= wait) {
        channel_.Break(FtpError::kTimeout,
                       FormatText(Translate("The server neither confirmed the upload nor read its end within %s."),
                                  {DescribeWait(wait)}));
        return false;
      }
      Poco::Net::Socket::SocketList readable{data_, channel_.Socket()};
      Poco::Net::Socket::SocketList writable;
      Poco::Net::Socket::SocketList failed;
      if (Poco::Net::Socket::select(readable, writable, failed, ToTimespan(kStopCheckInterval)) == 0) {
        if (!channel_.ContinueWaiting()) return false;
        continue;
      }
      if (std::find(readable.begin(), readable.end(), channel_.Socket()) != readable.end()) return true;
      char ignored[512];
      if (data_.receiveBytes(ignored, sizeof ignored) <= 0) return true;
    }
  } catch (const Poco::Exception&) {
    // A reset of the data connection is an end too; the final reply tells the rest.
  }
  return true;
}

void FtpDataTransfer::AvoidActiveMode(const std::string& notice) {
  // Seen with several sessions making active data connections at once on one
  // server (pyftpdlib 1.5.7): one session's connection is dropped from the
  // server's event loop, and it waits until a timer of the server's wakes it.
  // Passive data connections do not meet it: the connection's next transfers
  // go passive.
  FtpServerFacts& facts = channel_.Facts();
  if (facts.activeStalledInRun) *facts.activeStalledInRun = true;
  if (facts.dataMode != FtpDataMode::Active) return;
  facts.dataMode = FtpDataMode::Passive;
  facts.notice = notice;
}

void FtpDataTransfer::Abandon(int code, std::string message) {
  ResetDataConnection();
  FtpReply reply;
  channel_.ReadReply(reply);  // whatever it says, our own failure is the cause
  channel_.RecordFailure(code, std::move(message));
}

void FtpDataTransfer::FailWithFinalReply(int code, std::string message) {
  ResetDataConnection();
  FtpReply reply;
  if (channel_.ReadReply(reply) && (reply.Class() == 4 || reply.Class() == 5))
    channel_.RecordReplyFailure(reply);
  else
    channel_.RecordFailure(code, std::move(message));  // also when no reply came: ours is the cause
}

void FtpDataTransfer::ResetDataConnection() noexcept {
  try {
    listener_.close();
    if (dataOpen_) {
      data_.setLinger(true, 0);
      data_.close();
    }
  } catch (...) {
    // The connection is being thrown away; a failing close changes nothing.
  }
  dataOpen_ = false;
}

}  // namespace ostrel
