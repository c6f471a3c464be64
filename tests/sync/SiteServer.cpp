#include "sync/SiteServer.h"

#include <gtest/gtest.h>

#include "sync/RecordingUserInterface.h"

namespace ostrel::test {

std::string ToString(ServerKind kind) { return kind == ServerKind::Pyftpdlib ? "pyftpdlib" : "vsftpd"; }

SiteServer::SiteServer(ServerKind kind, std::vector<std::string> faults) {
  if (kind == ServerKind::Pyftpdlib) {
    FtpTestServerOptions options;
    options.faults = std::move(faults);
    pyftpdlib_ = std::make_unique<FtpTestServer>(options);
  } else {
    vsftpd_ = std::make_unique<VsftpdTestServer>();
  }
  std::filesystem::create_directories(Site());
  HandOver(Site());
}

std::string SiteServer::Host() const { return pyftpdlib_ ? pyftpdlib_->Host() : vsftpd_->Host(); }
std::string SiteServer::User() const { return pyftpdlib_ ? pyftpdlib_->User() : vsftpd_->User(); }
std::string SiteServer::Password() const { return pyftpdlib_ ? pyftpdlib_->Password() : vsftpd_->Password(); }
std::filesystem::path SiteServer::Root() const { return pyftpdlib_ ? pyftpdlib_->Root() : vsftpd_->Root(); }

std::filesystem::path SiteServer::Site() const {
  return pyftpdlib_ ? Root() / "site" : Root() / "pub" / "site";
}

std::string SiteServer::SiteRemotePath() const { return pyftpdlib_ ? "/site" : "/pub/site"; }

void SiteServer::HandOver(const std::filesystem::path& path) const {
  if (vsftpd_) vsftpd_->HandOver(path);
}

std::vector<std::string> SiteServer::CommandLog() const {
  if (!pyftpdlib_) {
    ADD_FAILURE() << "only the pyftpdlib test server keeps a command log";
    return {};
  }
  std::vector<std::string> log = pyftpdlib_->CommandLog();
  log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(std::min(commandLogStart_, log.size())));
  return log;
}

void SiteServer::ClearCommandLog() { commandLogStart_ += CommandLog().size(); }

void AimAt(TestPublisher& publisher, const SiteServer& server, const std::filesystem::path& localDirectory) {
  publisher.LocalDir = localDirectory.string();
  publisher.Host = server.Host();
  publisher.Name = server.User();
  publisher.Password = server.Password();
  publisher.RemoteDir = server.SiteRemotePath();
  publisher.Xcode = 0;
}

}  // namespace ostrel::test
