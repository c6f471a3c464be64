#include "ftp/FtpTls.h"

#include <Poco/Net/IPAddress.h>
#include <Poco/Net/NetSSL.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "ftp/FtpError.h"
#include "platform/Translation.h"

namespace ostrel {
namespace {

// What the check of one handshake found; kept in the context's application
// data, since OpenSSL hands the callback nothing else of ours.
struct VerificationRecord {
  std::string firstError;
};

// Lets every handshake complete and notes why the certificate did not verify:
// the decision is made before anything secret is sent, where the reason and
// the fingerprint can be shown and a trusted fingerprint can stand in.
int RecordVerification(int preverified, X509_STORE_CTX* store) {
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* record = static_cast<VerificationRecord*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
  if (preverified == 0 && record != nullptr && record->firstError.empty())
    record->firstError = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
  return 1;
}

VerificationRecord& RecordOf(const Poco::Net::Context::Ptr& context) {
  return *static_cast<VerificationRecord*>(SSL_CTX_get_app_data(context->sslContext()));
}

}  // namespace

FtpTlsClient::FtpTlsClient(std::string host, FtpTlsTrust trust)
    : host_(std::move(host)), trust_(std::move(trust)), givenFingerprint_(trust_.trustedFingerprint) {
  trust_.trustedFingerprint = NormalizeFingerprint(trust_.trustedFingerprint);
}

// Made on first use: loading the trust store costs more than a whole
// unchanged publish, and a server without TLS never needs it.
Poco::Net::Context::Ptr FtpTlsClient::Context() {
  if (context_) return context_;
  Poco::Net::initializeSSL();
  Poco::Net::Context::Params params;
  params.verificationMode = Poco::Net::Context::VERIFY_RELAXED;
  params.loadDefaultCAs = true;  // OpenSSL's default paths, SSL_CERT_FILE and SSL_CERT_DIR
  params.cipherList = "HIGH:!aNULL:!MD5:!RC4";
  context_ = new Poco::Net::Context(Poco::Net::Context::TLS_CLIENT_USE, params);
  context_->requireMinimumProtocol(Poco::Net::Context::PROTO_TLSV1_2);
  context_->enableSessionCache(true);
  context_->enableExtendedCertificateVerification(false);
  SSL_CTX* ssl = context_->sslContext();
  // The context lives as long as this client; so does the record it points to.
  SSL_CTX_set_app_data(ssl, new VerificationRecord);
  SSL_CTX_set_verify(ssl, SSL_VERIFY_PEER, RecordVerification);
  X509_VERIFY_PARAM* check = SSL_CTX_get0_param(ssl);
  Poco::Net::IPAddress address;
  if (Poco::Net::IPAddress::tryParse(host_, address))
    X509_VERIFY_PARAM_set1_ip_asc(check, host_.c_str());
  else
    X509_VERIFY_PARAM_set1_host(check, host_.c_str(), host_.size());
  return context_;
}

FtpTlsClient::~FtpTlsClient() {
  if (context_) delete &RecordOf(context_);
}

Poco::Net::SecureStreamSocket FtpTlsClient::Secure(const Poco::Net::StreamSocket& socket,
                                                   Poco::Net::Session::Ptr session) {
  RecordOf(Context()).firstError.clear();
  Poco::Net::IPAddress address;
  // SNI carries names only.
  if (Poco::Net::IPAddress::tryParse(host_, address))
    return Poco::Net::SecureStreamSocket::attach(socket, Context(), session);
  return Poco::Net::SecureStreamSocket::attach(socket, host_, Context(), session);
}

void FtpTlsClient::CheckTrust(const Poco::Net::SecureStreamSocket& socket, const std::string& where) const {
  const std::string& reason = RecordOf(context_).firstError;
  if (reason.empty()) return;
  const std::string fingerprint = CertificateFingerprint(socket);
  if (!trust_.trustedFingerprint.empty() && trust_.trustedFingerprint == fingerprint) return;
  const bool changed = !trust_.trustedFingerprint.empty();
  throw FtpError(FtpError::kUntrustedCertificate,
                 FormatText(changed ? Translate("The certificate of %s has changed since it was trusted (%s); nothing "
                                                "was sent to the server.\nIts fingerprint: %s")
                                    : Translate("The certificate of %s cannot be trusted (%s); nothing was sent to the "
                                                "server.\nIts fingerprint: %s"),
                            {where, reason, fingerprint}),
                 fingerprint);
}

bool FtpTlsClient::LimitToTls12() {
  if (limitedToTls12_) return false;
  Context()->disableProtocols(Poco::Net::Context::PROTO_TLSV1_3);
  limitedToTls12_ = true;
  return true;
}

std::string CertificateFingerprint(const Poco::Net::SecureStreamSocket& socket) {
  const Poco::Net::X509Certificate certificate = socket.peerCertificate();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(certificate.certificate(), EVP_sha256(), digest, &length) != 1) return {};
  std::string text = "SHA256:";
  for (unsigned int index = 0; index < length; ++index) {
    char pair[4];
    std::snprintf(pair, sizeof pair, index + 1 < length ? "%02X:" : "%02X", digest[index]);
    text += pair;
  }
  return text;
}

std::string NormalizeFingerprint(std::string_view text) {
  // "sha256 Fingerprint=AB:..." (openssl), "SHA256:AB:..." or the bare digits.
  if (const auto equals = text.rfind('='); equals != std::string_view::npos) text.remove_prefix(equals + 1);
  constexpr std::string_view kPrefix = "sha256:";
  if (text.size() > kPrefix.size() &&
      std::equal(kPrefix.begin(), kPrefix.end(), text.begin(),
                 [](char prefix, char given) { return prefix == std::tolower(static_cast<unsigned char>(given)); }))
    text.remove_prefix(kPrefix.size());
  std::string digits;
  for (const char character : text) {
    if (character == ':' || std::isspace(static_cast<unsigned char>(character))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(character))) return {};
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
  }
  if (digits.size() != 64) return {};
  std::string fingerprint = "SHA256:";
  for (std::size_t index = 0; index < digits.size(); index += 2)
    fingerprint += digits.substr(index, 2) + (index + 2 < digits.size() ? ":" : "");
  return fingerprint;
}

}  // namespace ostrel
