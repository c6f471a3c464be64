#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// How the FTP site field asks for TLS: "host" (explicit TLS where the server
// offers it), "ftpes://host" (explicit TLS required), "ftps://host" (implicit
// TLS, port 990 unless given), "ftp://host" (plain FTP only).
enum class FtpTlsMode { WhereOffered, Required, Implicit, Off };

struct FtpHostAddress {
  std::string host;  // a name or an address, IPv6 without its brackets
  std::uint16_t port = 21;
  FtpTlsMode tls = FtpTlsMode::WhereOffered;

  bool operator==(const FtpHostAddress&) const = default;
};

// Reads "name", "name:port", "[v6address]", "[v6address]:port" or a bare IPv6
// address, optionally after "ftp://", "ftpes://" or "ftps://"; the port is 21
// when none is given (990 for ftps://). Empty when the text is not a host of
// that form (empty name, a port that is not 1 to 65535, stray brackets or
// spaces, another scheme, a path, a user name).
std::optional<FtpHostAddress> ParseFtpHost(std::string_view text);

// The host and port as a user reads them: "name:21", "[::1]:21".
std::string DescribeHostAddress(const FtpHostAddress& address);

}  // namespace ostrel
