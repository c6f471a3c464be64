#pragma once

#include <exception>
#include <string>

namespace ostrel {

// The FTP layer's one exception. Open and connect throw it; the walk raises it
// when a remote directory can be neither entered nor created. The message is
// what the user reads in the run's message box.
class FtpError : public std::exception {
 public:
  // Codes for failures below the protocol; a server's reply carries its own
  // three-digit reply code instead.
  static constexpr int kSystemError = 1;
  static constexpr int kTimeout = 2;
  static constexpr int kConnectionClosed = 3;
  static constexpr int kConnectionBroken = 4;
  static constexpr int kUnsafeName = 5;
  static constexpr int kProtocolError = 6;
  static constexpr int kStopped = 7;  // the user asked to stop during a wait
  static constexpr int kUntrustedCertificate = 8;

  FtpError(int code, std::string message);
  // An error about a server certificate, with its fingerprint ("SHA256:...").
  FtpError(int code, std::string message, std::string certificateFingerprint);

  int Code() const noexcept { return code_; }
  const std::string& Message() const noexcept { return message_; }
  const std::string& CertificateFingerprint() const noexcept { return certificateFingerprint_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  int code_;
  std::string message_;
  std::string certificateFingerprint_;
};

}  // namespace ostrel
