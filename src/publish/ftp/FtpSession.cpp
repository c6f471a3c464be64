#include "publish/ftp/FtpSession.h"

#include <utility>

#include "publish/ftp/FtpControlChannel.h"
#include "publish/ftp/FtpHostAddress.h"

namespace ostrel {

FtpSession::FtpSession(std::string agentName, FtpTimeouts timeouts)
    : agentName_(std::move(agentName)), timeouts_(timeouts) {}

std::unique_ptr<FtpConnection> FtpSession::Connect(const std::string& host, const std::string& user,
                                                   const std::string& password) {
  if (closed_) throw FtpError(FtpError::kConnectionBroken, "The FTP session has been closed.");
  const auto address = ParseFtpHost(host);
  if (!address)
    throw FtpError(FtpError::kSystemError,
                   "\"" + host + "\" is not a host name, \"name:port\" or \"[IPv6 address]:port\".");
  auto channel = std::make_unique<FtpControlChannel>(*address, timeouts_, firstDataMode_);
  channel->LogOn(user, password);
  return std::unique_ptr<FtpConnection>(new FtpConnection(std::move(channel), *address, user, password, timeouts_));
}

void FtpSession::Close() { closed_ = true; }

}  // namespace ostrel
