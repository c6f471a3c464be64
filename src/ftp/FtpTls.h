#pragma once

#include <Poco/Net/Context.h>
#include <Poco/Net/SecureStreamSocket.h>
#include <Poco/Net/Session.h>
#include <Poco/Net/StreamSocket.h>

#include <string>
#include <string_view>

namespace ostrel {

// What a run knows of trust beyond the system's trust store: a fingerprint
// ("SHA256:AB:CD:...") the user trusts for this site.
struct FtpTlsTrust {
  std::string trustedFingerprint;
};

// The TLS side of one session: a client context that loads the system's trust
// store (OpenSSL's default paths; SSL_CERT_FILE and SSL_CERT_DIR honoured),
// whose check of the server's certificate we make ourselves, so that a
// certificate that does not verify is reported with its reason and
// fingerprint, and a fingerprint the user trusts can stand in for the check.
class FtpTlsClient {
 public:
  // `host` is what the user typed: a name, or an address, checked against the
  // certificate.
  FtpTlsClient(std::string host, FtpTlsTrust trust);
  ~FtpTlsClient();
  FtpTlsClient(const FtpTlsClient&) = delete;
  FtpTlsClient& operator=(const FtpTlsClient&) = delete;

  // Wraps a connected socket as a TLS client, with SNI for a name, resuming
  // `session` when given (data connections resume the control connection's,
  // as servers may demand). The handshake runs at once.
  Poco::Net::SecureStreamSocket Secure(const Poco::Net::StreamSocket& socket,
                                       Poco::Net::Session::Ptr session = nullptr);
  // Throws FtpError (kUntrustedCertificate) naming the host, the reason and the
  // certificate's fingerprint when the last handshake's certificate neither
  // verified nor carries the trusted fingerprint.
  void CheckTrust(const Poco::Net::SecureStreamSocket& socket, const std::string& where) const;
  // The user trusts a certificate for this site: a logon without TLS could
  // only be somebody in the way stripping it, and is never made.
  bool TlsIsExpected() const { return !givenFingerprint_.empty(); }
  // From now on TLS 1.2 at most. vsftpd's demand that every data connection
  // resume the control connection's session fails with TLS 1.3 tickets, which
  // it takes for good once used; TLS 1.2 sessions resume any number of times.
  // False when it was so already.
  bool LimitToTls12();

 private:
  Poco::Net::Context::Ptr Context();

  std::string host_;
  FtpTlsTrust trust_;
  std::string givenFingerprint_;  // as the user gave it, before it was read
  Poco::Net::Context::Ptr context_;
  bool limitedToTls12_ = false;
};

// "SHA256:" and the SHA-256 of the certificate's DER form, upper-case hex pairs joined by ":".
std::string CertificateFingerprint(const Poco::Net::SecureStreamSocket& socket);
// A SHA-256 fingerprint as people copy it (any case, with or without colons,
// after "SHA256:" or as `openssl x509 -fingerprint` prints it) in the form
// CertificateFingerprint gives; empty when the text is no such fingerprint.
std::string NormalizeFingerprint(std::string_view text);

}  // namespace ostrel
