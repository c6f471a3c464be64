#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace ostrel::test {

// One FTP server for one test on 127.0.0.1 and a free port of its own, started by the constructor
// (std::runtime_error when it cannot), stopped with the sessions it forked by the destructor.
class TestServer {
 public:
  virtual ~TestServer() { Stop(); }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  // The folder the server shows as "/", and the remote directory a test may write into.
  const std::filesystem::path& Root() const { return root_; }
  virtual std::string WritablePath() const { return "/"; }
  // Lets the server replace what the test itself wrote below Root().
  virtual void HandOver(const std::filesystem::path&) const {}

 protected:
  TestServer(std::string user, std::string password) : user_(std::move(user)), password_(std::move(password)) {}
  // Runs the program `arguments` gives for port_ until it accepts connections there
  // itself: a server that announces "pid=N" in its output once it listens, or one
  // that exits at once when another has the port.
  void Start(const std::function<std::vector<std::string>()>& arguments, bool announcesItself);
  void Stop() noexcept;

  TempDirectory directory_;
  std::string user_, password_;
  std::filesystem::path root_ = directory_.Path() / "root";
  std::uint16_t port_ = 0;
  pid_t processId_ = -1;
};

// Server certificates as tests/servers/make_certificates.sh describes them, made once per test process.
enum class CertificateKind { Trusted, SelfSigned, WrongName, Expired };
class TestCertificates {
  TestCertificates();
  TempDirectory directory_;

 public:
  static const TestCertificates& Get() {
    static const TestCertificates certificates;
    return certificates;
  }
  std::filesystem::path AuthorityFile() const { return directory_.Path() / "ca.pem"; }  // for SSL_CERT_FILE
  std::filesystem::path File(CertificateKind kind) const;                               // the key, then the certificate
  std::string Fingerprint(CertificateKind kind) const { return ReadFile(File(kind).replace_extension("sha256")); }
};

struct FtpTestServerOptions {
  std::string user = "tester", password = "secret";
  // Arguments of tests/servers/ftp_server.py that make it misbehave, e.g. {"--fail-stor", "a.htm:550"}.
  std::vector<std::string> faults;
  bool logging = true;  // false sends the command log nowhere, for benchmarks
  // AUTH TLS with this certificate; required refuses logons before AUTH and data connections before PROT P.
  std::optional<CertificateKind> tls = std::nullopt;
  bool tlsRequired = false;
  std::string tlsVersion = {};  // "1.2" or "1.3" is the only one spoken; empty: any
};

// pyftpdlib: MLSD with exact seconds, a command log and injected faults.
class FtpTestServer : public TestServer {
 public:
  explicit FtpTestServer(FtpTestServerOptions options = {});
  // Every command received so far in arrival order, "PASS ******" masked.
  std::vector<std::string> CommandLog() const;
};

// pyftpdlib as its users start it, `python3 -m pyftpdlib -w`: its own handler,
// no command log and no fault of ours.
class StockPyftpdlibServer : public TestServer {
 public:
  StockPyftpdlibServer();
};

// vsftpd: LIST only, times in UTC to the minute, dot files only with "LIST -a".
// Anonymous logon, writing below /pub/ as the system account "ftp". Runs only
// as root: if (auto reason = VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *reason;
class VsftpdTestServer : public TestServer {
 public:
  static std::optional<std::string> WhyUnavailable();
  // Settings beside the tests' own, e.g. {"pasv_enable=NO"}.
  explicit VsftpdTestServer(const std::vector<std::string>& settings = {});
  // settings after those that offer AUTH TLS, unforced; add e.g. "force_anon_data_ssl=YES", "implicit_ssl=YES".
  static std::vector<std::string> TlsSettings(CertificateKind kind, std::vector<std::string> settings = {}) {
    settings.insert(settings.begin(), {"ssl_enable=YES", "allow_anon_ssl=YES",
                                       "rsa_cert_file=" + TestCertificates::Get().File(kind).string()});
    return settings;
  }
  std::string WritablePath() const override { return "/pub/"; }
  void HandOver(const std::filesystem::path& path) const override;
};

// proftpd or pure-ftpd as Debian's packages start them, from the .debs that scripts/install-deps.sh
// unpacks into /opt/ostrel-test-servers (as packages they conflict with vsftpd): the package's own
// configuration (proftpd.conf; the options pure-ftpd-wrapper makes of /etc/pure-ftpd/conf) plus
// 127.0.0.1, the port and the server's own files in the test's folder. The local user "ostreltest"
// logs on and, confined by neither, sees the whole file system: Root() is "/". Runs only as root:
// if (auto reason = PackagedTestServer::WhyUnavailable(kind)) GTEST_SKIP() << *reason;
enum class PackagedServer { Proftpd, PureFtpd };
class PackagedTestServer : public TestServer {
 public:
  static std::optional<std::string> WhyUnavailable(PackagedServer kind);
  explicit PackagedTestServer(PackagedServer kind);
  std::string WritablePath() const override { return directory_.Path().string() + "/"; }
  void HandOver(const std::filesystem::path& path) const override;
};

}  // namespace ostrel::test
