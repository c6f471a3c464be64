#include "ftp/FtpSession.h"

#include <utility>

#include "ftp/FtpControlChannel.h"
#include "ftp/FtpHostAddress.h"
#include "platform/Translation.h"

namespace ostrel {

FtpSession::FtpSession(std::string agentName, FtpTimeouts timeouts)
    : agentName_(std::move(agentName)), timeouts_(timeouts) {}

std::unique_ptr<FtpConnection> FtpSession::Connect(const std::string& host, const std::string& user,
                                                   const std::string& password) {
  if (closed_) throw FtpError(FtpError::kConnectionBroken, Translate("The FTP session has been closed."));
  const auto address = ParseFtpHost(host);
  if (!address)
    throw FtpError(FtpError::kSystemError,
                   FormatText(Translate("\"%s\" is not an FTP site: give a host name or address, with \":port\" if "
                                        "needed, optionally after ftp:// (plain FTP), ftpes:// (TLS required) or "
                                        "ftps:// (implicit TLS); no path or user name."),
                              {host}));
  std::shared_ptr<FtpTlsClient> tls;
  if (address->tls != FtpTlsMode::Off) tls = std::make_shared<FtpTlsClient>(address->host, tlsTrust_);
  auto facts = std::make_shared<FtpServerFacts>();
  facts->dataMode = activeStalled_ && *activeStalled_ ? FtpDataMode::Passive : firstDataMode_;
  facts->activeStalledInRun = activeStalled_;
  facts->writesAllowed = writesAllowed_;
  auto channel = std::make_unique<FtpControlChannel>(*address, timeouts_, facts, tls);
  channel->LogOn(user, password);
  return std::unique_ptr<FtpConnection>(
      new FtpConnection(std::move(channel), std::move(facts), *address, std::move(tls), user, password, timeouts_));
}

void FtpSession::Close() { closed_ = true; }

}  // namespace ostrel
