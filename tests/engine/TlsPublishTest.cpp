// Publishes over TLS to real servers with certificates made for the test:
// byte for byte in both data connection modes and both TLS versions (where a
// data socket closed too early would cut files), and, for a certificate that
// cannot be trusted, no password sent at all.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "engine/RecordingUserInterface.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::CertificateKind;

struct TlsCase {
  const char* name;
  std::string scheme;                        // put before the host
  std::optional<CertificateKind> pyftpdlib;  // else vsftpd, with these settings:
  std::vector<std::string> vsftpd = {};
  std::string tlsVersion = {};
  bool passive = false;
  std::optional<CertificateKind> trusted = std::nullopt;  // its fingerprint is trusted for the site
  std::string message = {};                               // the run's one message; empty: published whole
  int connections = 1;
  std::vector<std::string> faults = {};  // pyftpdlib's; "@selfsigned" names that certificate's file
  bool underLoad = false;                // two busy threads beside the run, as cut TLS 1.3 uploads were seen
};
// CTest lines name the row, not its bytes.
void PrintTo(const TlsCase& row, std::ostream* out) { *out << row.name; }

class TlsPublishTest : public testing::TestWithParam<TlsCase> {};

std::vector<std::string> Resolved(std::vector<std::string> faults) {
  for (std::string& fault : faults)
    if (fault == "@selfsigned") fault = test::TestCertificates::Get().File(CertificateKind::SelfSigned).string();
  return faults;
}

TEST_P(TlsPublishTest, PublishesByteForByteOrStopsBeforeThePassword) {
  const TlsCase& row = GetParam();
  const test::TestCertificates& certificates = test::TestCertificates::Get();
  setenv("SSL_CERT_FILE", certificates.AuthorityFile().c_str(), 1);
  std::unique_ptr<test::TestServer> server;
  if (row.pyftpdlib || row.vsftpd.empty())
    server = std::make_unique<test::FtpTestServer>(test::FtpTestServerOptions{.faults = Resolved(row.faults),
                                                                              .tls = row.pyftpdlib,
                                                                              .tlsRequired = row.pyftpdlib.has_value(),
                                                                              .tlsVersion = row.tlsVersion});
  else if (test::VsftpdTestServer::WhyUnavailable())
    GTEST_SKIP() << *test::VsftpdTestServer::WhyUnavailable();
  else
    server = std::make_unique<test::VsftpdTestServer>(
        test::VsftpdTestServer::TlsSettings(CertificateKind::Trusted, row.vsftpd));
  const fs::path site = server->Root() / server->WritablePath().substr(1) / "site";
  fs::create_directories(site);
  server->HandOver(site);
  test::TempDirectory local;
  for (const std::size_t size : {0ul, 1ul, 16383ul, 16384ul, 16385ul, (1ul << 20) + 1}) {
    std::string bytes(size, '\0');
    std::generate(bytes.begin(), bytes.end(), [n = size]() mutable { return static_cast<char>(n = n * 7 + 3); });
    test::WriteFile(local.Path() / ("f" + std::to_string(size)), bytes);
  }
  test::RecordingUserInterface recorder;
  if (row.trusted) recorder.trustedCertificate = "SHA256:" + certificates.Fingerprint(*row.trusted);
  test::TestPublisher publisher(recorder);
  publisher.LocalDir = local.Path().string();
  publisher.Host = row.scheme + server->Host();
  publisher.Name = server->User();
  publisher.Password = server->Password();
  publisher.RemoteDir = server->WritablePath() + "site";
  publisher.Passive = row.passive;
  publisher.Connections = row.connections;
  publisher.Xcode = publisher.UpdateOnly = 0;
  std::atomic<bool> loaded = row.underLoad;
  std::vector<std::thread> load;
  for (int thread = 0; thread < (row.underLoad ? 2 : 0); ++thread)
    load.emplace_back([&loaded] {
      while (loaded) {
      }
    });
  const RunResult result = publisher.Run();
  loaded = false;
  for (std::thread& thread : load) thread.join();
  unsetenv("SSL_CERT_FILE");

  std::vector<std::string> messages;
  for (const std::string& line : recorder.lines)
    if (line.starts_with("box: ")) messages.push_back(line.substr(5));
  if (row.message.empty()) {
    EXPECT_EQ(messages, std::vector<std::string>{});
    EXPECT_EQ(result.filesCopied, 6);
    for (const auto& entry : fs::directory_iterator(local.Path()))
      EXPECT_TRUE(test::ReadFile(entry.path()) == test::ReadFile(site / entry.path().filename())) << entry.path();
    const bool serverSpeaksTls = row.pyftpdlib || !row.vsftpd.empty();
    EXPECT_EQ(std::count(recorder.lines.begin(), recorder.lines.end(), "Logging on (TLS)...") > 0,
              serverSpeaksTls && row.scheme != "ftp://");
    return;
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(row.message), std::string::npos) << messages[0];
  if (auto* pyftpdlib = dynamic_cast<test::FtpTestServer*>(server.get()); pyftpdlib && row.faults.empty()) {
    const std::vector<std::string> log = pyftpdlib->CommandLog();
    EXPECT_EQ(std::find(log.begin(), log.end(), "PASS ******"), log.end()) << "the password was sent";
  }
}

const std::string kRefused = "cannot be trusted (";
// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, TlsPublishTest, testing::Values(
    TlsCase{"Tls13Active", "", CertificateKind::Trusted, {}, "1.3"},
    TlsCase{"Tls12Passive", "", CertificateKind::Trusted, {}, "1.2", true},
    TlsCase{"VsftpdReusingTheSessionActive", "", {}, {"require_ssl_reuse=YES", "ssl_ciphers=HIGH"}},
    TlsCase{"VsftpdReusingTheSessionPassive", "ftpes://", {}, {"require_ssl_reuse=YES", "ssl_ciphers=HIGH"}, "", true},
    TlsCase{"VsftpdImplicit", "ftps://", {}, {"implicit_ssl=YES", "ssl_ciphers=HIGH"}},
    TlsCase{"BareHostOnAPlainServerPublishesPlain", "", {}, {}},
    TlsCase{"RequiredTlsOnAPlainServerIsRefused", "ftpes://", {}, {}, "", false, {}, "does not offer TLS"},
    TlsCase{"PlainOnlyWhenAsked", "ftp://", {}, {"force_anon_logins_ssl=NO"}},
    TlsCase{"SelfSignedIsRefusedWithItsFingerprint", "", CertificateKind::SelfSigned, {}, "", false, {}, kRefused + "self-signed certificate); nothing was sent to the server.\nIts fingerprint: SHA256:"},
    TlsCase{"WrongNameIsRefused", "", CertificateKind::WrongName, {}, "", false, {}, kRefused},
    TlsCase{"ExpiredIsRefused", "", CertificateKind::Expired, {}, "", false, {}, kRefused + "certificate has expired)"},
    TlsCase{"TrustedFingerprintStandsInForTheCheck", "", CertificateKind::SelfSigned, {}, "", false, CertificateKind::SelfSigned},
    TlsCase{"TrustedSiteOfferingNoTlsIsRefusedBeforeThePassword", "", {}, {}, "", false, CertificateKind::SelfSigned, "now offers no TLS"},
    TlsCase{"ChangedCertificateIsRefused", "", CertificateKind::SelfSigned, {}, "", false, CertificateKind::Expired, "has changed since it was trusted"},
    // Every extra connection checks the certificate, or the trusted fingerprint, as the first did.
    TlsCase{"Tls12PassiveOnFourConnections", "", CertificateKind::Trusted, {}, "1.2", true, {}, {}, 4},
    TlsCase{"TrustedFingerprintOnFourConnections", "", CertificateKind::SelfSigned, {}, "1.2", true, CertificateKind::SelfSigned, {}, 4},
    TlsCase{"DataConnectionWithAnotherCertificateIsRefused", "", CertificateKind::Trusted, {}, "1.2", true, {}, "The data connection: The certificate of", 1, {"--data-cert", "@selfsigned"}},
    TlsCase{"Tls13UnderLoadArrivesWhole", "", CertificateKind::Trusted, {}, "1.3", true, {}, {}, 1, {}, true},
    TlsCase{"UploadCutInPlaceIsReported", "", CertificateKind::Trusted, {}, "1.2", true, {}, "kept 1000 of the 1048577 bytes sent; the page on the server is cut", 1, {"--answer", "RNFR=502 Not implemented.", "--keep-only", "1000"}},
    TlsCase{"UploadConfirmedButCutIsCaughtBeforeTheRename", "", CertificateKind::Trusted, {}, "1.2", true, {}, "confirmed the upload but kept 1000 of the 1048577 bytes sent; the page was left as it was.", 1, {"--keep-only", "1000"}},
    TlsCase{"VsftpdReusingTheSessionOnFourConnections", "", {}, {"require_ssl_reuse=YES", "ssl_ciphers=HIGH"}, "", false, {}, {}, 4}),
    [](const auto& parameter) { return std::string(parameter.param.name); });
// clang-format on

}  // namespace
}  // namespace ostrel
