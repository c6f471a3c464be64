#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

struct FtpHostAddress {
  std::string host;  // a name or an address, IPv6 without its brackets
  std::uint16_t port = 21;

  bool operator==(const FtpHostAddress&) const = default;
};

// Reads "name", "name:port", "[v6address]", "[v6address]:port" or a bare IPv6
// address; the port is 21 when none is given. Empty when the text is not a
// host of that form (empty name, a port that is not 1 to 65535, stray
// brackets or spaces).
std::optional<FtpHostAddress> ParseFtpHost(std::string_view text);

// The host and port as a user reads them: "name:21", "[::1]:21".
std::string DescribeHostAddress(const FtpHostAddress& address);

}  // namespace ostrel
