#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace ostrel::test {

// A vsftpd server for one test on 127.0.0.1 and a free port of its own, with
// a fresh temporary root, started by the constructor (std::runtime_error when
// it cannot start) and stopped by the destructor. vsftpd speaks LIST only, no
// MLSD, and lists times in UTC to the minute.
//
// It serves anonymous logons with full write access, so no system account
// with a password is needed. Anonymous FTP may not write into its root, so
// tests write below WritablePath() ("/pub/"). vsftpd writes as the system
// account "ftp": a file the test puts into Root() itself must be handed over
// before the server may replace it.
//
// vsftpd runs only as root. Tests call WhyUnavailable() first:
//   if (auto reason = VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *reason;
class VsftpdTestServer {
 public:
  static std::optional<std::string> WhyUnavailable();

  VsftpdTestServer();
  ~VsftpdTestServer();
  VsftpdTestServer(const VsftpdTestServer&) = delete;
  VsftpdTestServer& operator=(const VsftpdTestServer&) = delete;

  std::string Host() const;
  std::uint16_t Port() const { return port_; }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  const std::filesystem::path& Root() const { return root_; }
  std::string WritablePath() const { return "/pub/"; }
  // Gives path and everything below it to the account vsftpd writes as.
  void HandOver(const std::filesystem::path& path) const;

 private:
  bool TryStart(const std::filesystem::path& configuration, std::string& log);

  std::string user_ = "anonymous";
  std::string password_ = "tester@example.com";
  TempDirectory directory_;
  std::filesystem::path root_;
  uid_t serverUser_ = 0;
  gid_t serverGroup_ = 0;
  std::uint16_t port_ = 0;
  std::unique_ptr<ServerProcess> process_;
};

}  // namespace ostrel::test
