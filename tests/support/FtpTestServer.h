#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace ostrel::test {

// A server program started in its own process group and stopped with it:
// SIGTERM to the group, SIGKILL after five seconds, then reaped. Used by the
// test server classes below.
class ServerProcess {
 public:
  // arguments[0] is the program's path. standardOutput and standardError are
  // descriptors the child writes to; -1 keeps the test's own.
  ServerProcess(const std::vector<std::string>& arguments, int standardOutput, int standardError);
  ~ServerProcess() { Stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // True once the program has ended.
  bool HasExited();
  void Stop() noexcept;

 private:
  pid_t processId_ = -1;
};

struct FtpTestServerOptions {
  std::string user = "tester";
  std::string password = "secret";
  // The folder the user sees as "/"; empty for a fresh temporary one.
  std::filesystem::path root;
  // Further arguments of tests/servers/ftp_server.py that make the server
  // misbehave, e.g. {"--fail-stor", "a.htm:552"} or {"--silent-on", "PWD"};
  // "/usr/bin/python3 tests/servers/ftp_server.py --help" lists them all.
  std::vector<std::string> faults;
  // False turns the command log and the server's own log off, for benchmarks.
  bool logging = true;
};

// A pyftpdlib FTP server for one test on 127.0.0.1 and a port of its own,
// started by the constructor (which throws std::runtime_error when it cannot
// start) and stopped by the destructor. Tests may run in parallel: every
// instance has its own port, root and command log.
//
//   FtpTestServer server;                                  // user "tester", password "secret"
//   WriteFile(server.Root() / "site" / "a.htm", "<p>");    // what the server serves
//   session.Connect(server.Host(), server.User(), server.Password());
//   EXPECT_EQ(server.CommandLog().back(), "QUIT");
class FtpTestServer {
 public:
  explicit FtpTestServer(FtpTestServerOptions options = {});
  ~FtpTestServer();
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  // "127.0.0.1:PORT", as the user types a host.
  std::string Host() const;
  std::uint16_t Port() const { return port_; }
  const std::string& User() const { return options_.user; }
  const std::string& Password() const { return options_.password; }
  const std::filesystem::path& Root() const { return options_.root; }
  // The remote directory tests may write into; the user's root here.
  std::string WritablePath() const { return "/"; }
  // Nothing to do: the server runs as the test's own user and may change
  // whatever the test wrote. VsftpdTestServer needs it.
  void HandOver(const std::filesystem::path&) const {}

  // Every command received so far, one per entry, in arrival order, the
  // PASS argument masked ("PASS ******"). Empty with logging off.
  std::vector<std::string> CommandLog() const;

 private:
  FtpTestServerOptions options_;
  std::unique_ptr<TempDirectory> ownRoot_;
  TempDirectory logDirectory_;
  std::uint16_t port_ = 0;
  std::unique_ptr<ServerProcess> process_;
};

}  // namespace ostrel::test
