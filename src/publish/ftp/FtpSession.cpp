#include "publish/ftp/FtpSession.h"

#include <utility>

#include "publish/ftp/FtpControlChannel.h"
#include "publish/ftp/FtpHostAddress.h"

namespace ostrel {

namespace {

void LogOn(FtpControlChannel& channel, const std::string& user, const std::string& password) {
  if (!channel.AcceptsArgument(user) || !channel.AcceptsArgument(password))
    throw FtpError(FtpError::kUnsafeName, "The user name or the password holds a line break, which FTP cannot carry.");
  FtpReply reply;
  if (!channel.Send("USER", user) || !channel.ReadReply(reply)) throw channel.LastError();
  if (reply.code == 331) {
    if (!channel.Send("PASS", password) || !channel.ReadReply(reply)) throw channel.LastError();
  }
  if (reply.code == 332)
    throw FtpError(reply.code, reply.Text() + "\nThe server asks for an account, which this program cannot give.");
  if (reply.Class() != 2) throw FtpError(reply.code, reply.Text());
}

}  // namespace

FtpSession::FtpSession(std::string agentName, FtpTimeouts timeouts)
    : agentName_(std::move(agentName)), timeouts_(timeouts) {}

std::unique_ptr<FtpConnection> FtpSession::Connect(const std::string& host, const std::string& user,
                                                   const std::string& password) {
  if (closed_) throw FtpError(FtpError::kConnectionBroken, "The FTP session has been closed.");
  const auto address = ParseFtpHost(host);
  if (!address)
    throw FtpError(FtpError::kSystemError,
                   "\"" + host + "\" is not a host name, \"name:port\" or \"[IPv6 address]:port\".");
  auto channel = std::make_unique<FtpControlChannel>(*address, timeouts_);
  LogOn(*channel, user, password);
  return std::unique_ptr<FtpConnection>(new FtpConnection(std::move(channel)));
}

void FtpSession::Close() { closed_ = true; }

}  // namespace ostrel
