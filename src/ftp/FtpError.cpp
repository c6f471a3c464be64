#include "ftp/FtpError.h"

#include <utility>

#include "platform/Translation.h"

namespace ostrel {

FtpError::FtpError(int code, std::string message) : code_(code), message_(std::move(message)) {
  if (message_.empty()) message_ = Translate("No error message is available.");
}

FtpError::FtpError(int code, std::string message, std::string certificateFingerprint)
    : FtpError(code, std::move(message)) {
  certificateFingerprint_ = std::move(certificateFingerprint);
}

}  // namespace ostrel
