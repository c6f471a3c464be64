#include "publish/ftp/FtpDataTransfer.h"

#include <Poco/Net/IPAddress.h>
#include <sys/socket.h>

#include <algorithm>
#include <utility>

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

}  // namespace

FtpDataTransfer::~FtpDataTransfer() {
  try {
    listener_.close();
    data_.close();
  } catch (...) {
    // Closing a socket that is already gone is nothing to report.
  }
}

bool FtpDataTransfer::OpenPort() {
  const auto local = channel_.LocalAddress();
  if (!local) return false;
  try {
    listener_.bind(Poco::Net::SocketAddress(local->host(), 0), false);
    listener_.listen(1);
  } catch (const Poco::Exception& exception) {
    channel_.RecordFailure(FtpError::kSystemError, "Cannot open a data port: " + exception.displayText());
    return false;
  }
  const Poco::Net::SocketAddress port = listener_.address();
  FtpServerFacts& facts = channel_.Facts();
  const bool isIpv6 = port.family() == Poco::Net::AddressFamily::IPv6;
  if (!facts.eprtRefused) {
    FtpReply reply;
    if (channel_.Command("EPRT", EprtArgument(port), 2, &reply)) return true;
    // Only a server that does not know EPRT gets PORT, and then for good.
    if (channel_.IsBroken() || reply.Class() != 5 || isIpv6) return false;
    facts.eprtRefused = true;
  }
  return channel_.Command("PORT", PortArgument(port), 2);
}

bool FtpDataTransfer::Accept() {
  try {
    // Some servers connect as soon as they get EPRT, others at the transfer
    // command; the connection waits in the listen queue either way. A server
    // that gives up on connecting says so on the control connection, which
    // is watched too, so its refusal ends the wait at once.
    Poco::Net::Socket::SocketList readable{listener_, channel_.Socket()};
    Poco::Net::Socket::SocketList writable;
    Poco::Net::Socket::SocketList failed;
    if (Poco::Net::Socket::select(readable, writable, failed, ToTimespan(channel_.Timeouts().data)) == 0) {
      FailWithFinalReply(FtpError::kTimeout, "The server did not open the data connection within " +
                                                 DescribeWait(channel_.Timeouts().data) + ".");
      return false;
    }
    if (std::find(readable.begin(), readable.end(), listener_) == readable.end()) {
      FailWithFinalReply(FtpError::kConnectionClosed, "The server did not open the data connection.");
      return false;
    }
    data_ = listener_.acceptConnection();
    dataOpen_ = true;
    // Whenever the program ends before the transfer did, even killed, the
    // server then sees a reset, not a clean end it could take for a whole file.
    data_.setLinger(true, 0);
    listener_.close();
    data_.setSendTimeout(ToTimespan(channel_.Timeouts().data));
    data_.setReceiveTimeout(ToTimespan(channel_.Timeouts().data));
    return true;
  } catch (const Poco::Exception& exception) {
    FailWithFinalReply(FtpError::kSystemError, "The data connection failed: " + exception.displayText());
    return false;
  }
}

bool FtpDataTransfer::Start(std::string_view verb, std::string_view argument) {
  if (!channel_.AcceptsArgument(argument) || !OpenPort() || !channel_.Send(verb, argument)) return false;
  FtpReply reply;
  if (!channel_.ReadReply(reply)) return false;
  if (reply.Class() != 1) {
    channel_.RecordReplyFailure(reply);
    return false;
  }
  started_ = true;
  return Accept();
}

bool FtpDataTransfer::Send(const char* bytes, std::size_t size) {
  try {
    while (size > 0) {
      const int sent = data_.sendBytes(bytes, static_cast<int>(size), MSG_NOSIGNAL);
      bytes += sent;
      size -= static_cast<std::size_t>(sent);
    }
    return true;
  } catch (const Poco::Exception& exception) {
    if (IsSocketTimeout(exception))
      FailWithFinalReply(FtpError::kTimeout,
                         "The server took no data for " + DescribeWait(channel_.Timeouts().data) + ".");
    else
      FailWithFinalReply(FtpError::kSystemError, "The data connection failed: " + exception.displayText());
  }
  return false;
}

bool FtpDataTransfer::ReceiveAll(std::string& received) {
  try {
    char buffer[64 * 1024];
    for (;;) {
      if (!data_.poll(ToTimespan(channel_.Timeouts().data), Poco::Net::Socket::SELECT_READ)) {
        FailWithFinalReply(FtpError::kTimeout,
                           "The server sent no data for " + DescribeWait(channel_.Timeouts().data) + ".");
        return false;
      }
      const int count = data_.receiveBytes(buffer, sizeof buffer);
      if (count == 0) return true;
      received.append(buffer, static_cast<std::size_t>(count));
    }
  } catch (const Poco::Exception& exception) {
    FailWithFinalReply(FtpError::kSystemError, "The data connection failed: " + exception.displayText());
    return false;
  }
}

bool FtpDataTransfer::Finish(std::optional<std::int64_t> uploadedBytes) {
  try {
    data_.shutdownSend();
  } catch (const Poco::Exception&) {
    // A receiving transfer's peer may have gone already; for a sending one
    // the server's final reply says whether it got every byte.
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
