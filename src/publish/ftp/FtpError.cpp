#include "publish/ftp/FtpError.h"

#include <utility>

namespace ostrel {

namespace {
// The run shows the text in a message box that was sized for this much.
constexpr std::size_t kMaximumMessageLength = 127;
}  // namespace

FtpError::FtpError(int code, std::string message) : code_(code), message_(std::move(message)) {
  if (message_.empty()) message_ = "No error message is available.";
  if (message_.size() > kMaximumMessageLength) message_.resize(kMaximumMessageLength);
}

}  // namespace ostrel
