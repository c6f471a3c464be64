#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "ftp/FtpConnection.h"
#include "ftp/FtpDataMode.h"
#include "ftp/FtpTimeouts.h"
#include "ftp/FtpTls.h"

namespace ostrel {

// The client side of FTP for one run: carries the agent name and the timeouts
// and makes logged-on connections.
class FtpSession {
 public:
  // Throws FtpError when the session cannot be opened.
  explicit FtpSession(std::string agentName, FtpTimeouts timeouts = {});

  // Connects to host ("name", "name:port", "[v6address]:port"; port 21 when
  // none is given) and logs on. Throws FtpError with the server's reply text
  // or the system's text on failure.
  std::unique_ptr<FtpConnection> Connect(const std::string& host, const std::string& user, const std::string& password);

  const std::string& AgentName() const { return agentName_; }
  const FtpTimeouts& Timeouts() const { return timeouts_; }
  // Data connections of new connections start in this mode: passive unless
  // told otherwise.
  void SetFirstDataMode(FtpDataMode mode) { firstDataMode_ = mode; }
  // Connections given the same flag leave active mode together.
  void ShareActiveStall(std::shared_ptr<std::atomic<bool>> stalled) { activeStalled_ = std::move(stalled); }
  // False for a run that must change nothing on the server.
  void AllowWrites(bool allowed) { writesAllowed_ = allowed; }
  // What is trusted beyond the system's trust store.
  void SetTlsTrust(FtpTlsTrust trust) { tlsTrust_ = std::move(trust); }

  // Ends the session; Connect throws afterwards. Connections already made
  // stay usable until they are closed.
  void Close();

 private:
  std::string agentName_;
  FtpTimeouts timeouts_;
  FtpDataMode firstDataMode_ = FtpDataMode::Passive;
  std::shared_ptr<std::atomic<bool>> activeStalled_;
  bool writesAllowed_ = true;
  FtpTlsTrust tlsTrust_;
  bool closed_ = false;
};

}  // namespace ostrel
