#pragma once

#include <chrono>

namespace ostrel {

// Every wait of the layer is bounded: a silent server becomes an error, never a hang.
struct FtpTimeouts {
  std::chrono::milliseconds connect{std::chrono::seconds(60)};
  std::chrono::milliseconds reply{std::chrono::seconds(60)};
  std::chrono::milliseconds data{std::chrono::seconds(60)};
};

}  // namespace ostrel
