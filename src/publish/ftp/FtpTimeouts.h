#pragma once

#include <chrono>

namespace ostrel {

// Every wait of the layer is bounded: a silent server becomes an error, never a hang.
struct FtpTimeouts {
  std::chrono::milliseconds connect{std::chrono::seconds(60)};
  std::chrono::milliseconds reply{std::chrono::seconds(60)};
  std::chrono::milliseconds data{std::chrono::seconds(60)};
  // After the last byte of an upload: hosts that scan uploads before they
  // confirm them take minutes, so the wait is long, and longer by
  // finalReplyPerMebibyte for every MiB sent.
  std::chrono::milliseconds finalReply{std::chrono::minutes(5)};
  std::chrono::milliseconds finalReplyPerMebibyte{std::chrono::seconds(1)};
};

}  // namespace ostrel
