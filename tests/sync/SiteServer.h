#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/FtpTestServer.h"
#include "support/VsftpdTestServer.h"

namespace ostrel::test {

class TestPublisher;

enum class ServerKind { Pyftpdlib, Vsftpd };
std::string ToString(ServerKind kind);

// One of the two real test servers behind one face, with a directory "site"
// that a publish may fill: /site on pyftpdlib, /pub/site on vsftpd, whose
// anonymous user may not write into its root.
class SiteServer {
 public:
  // Faults are arguments of the pyftpdlib test server; vsftpd takes none.
  explicit SiteServer(ServerKind kind, std::vector<std::string> faults = {});

  std::string Host() const;
  std::string User() const;
  std::string Password() const;
  // The server's root folder on this machine.
  std::filesystem::path Root() const;
  // The site directory on this machine, and as the server names it.
  std::filesystem::path Site() const;
  std::string SiteRemotePath() const;
  // Lets the server replace what a test wrote below its root.
  void HandOver(const std::filesystem::path& path) const;

  // Commands received since the last ClearCommandLog (pyftpdlib only).
  std::vector<std::string> CommandLog() const;
  void ClearCommandLog();

 private:
  std::unique_ptr<FtpTestServer> pyftpdlib_;
  std::unique_ptr<VsftpdTestServer> vsftpd_;
  std::size_t commandLogStart_ = 0;
};

// Fills in the connection settings of a publish from localDirectory to the
// server's site, with recoding off so that published bytes compare.
void AimAt(TestPublisher& publisher, const SiteServer& server, const std::filesystem::path& localDirectory);

}  // namespace ostrel::test
