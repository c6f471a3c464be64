#include "ftp/FtpHostAddress.h"

#include <Poco/Net/IPAddress.h>

#include <algorithm>
#include <utility>

namespace ostrel {

namespace {

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char character : text) {
    if (character < '0' || character > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(character - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

// Inside brackets, or with more than one colon, only an IPv6 address will do:
// "host:21:22" is a mistake, not an address.
bool IsIpv6Address(const std::string& text) {
  Poco::Net::IPAddress address;
  return Poco::Net::IPAddress::tryParse(text, address) && address.family() == Poco::Net::AddressFamily::IPv6;
}

bool IsUsableHostName(std::string_view host) {
  return !host.empty() && std::none_of(host.begin(), host.end(), [](char character) {
    return character == ' ' || character == '\t' || character == '[' || character == ']' || character == '/' ||
           character == '@';
  });
}

}  // namespace

std::optional<FtpHostAddress> ParseFtpHost(std::string_view text) {
  FtpHostAddress address;
  constexpr std::pair<std::string_view, FtpTlsMode> kSchemes[] = {
      {"ftp://", FtpTlsMode::Off}, {"ftpes://", FtpTlsMode::Required}, {"ftps://", FtpTlsMode::Implicit}};
  for (const auto& [scheme, tls] : kSchemes) {
    if (!text.starts_with(scheme)) continue;
    text.remove_prefix(scheme.size());
    address.tls = tls;
    if (tls == FtpTlsMode::Implicit) address.port = 990;
    break;
  }
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    address.host = std::string(text.substr(1, close - 1));
    if (!IsIpv6Address(address.host)) return std::nullopt;
    const auto rest = text.substr(close + 1);
    if (rest.empty()) return address;
    if (!rest.starts_with(':')) return std::nullopt;
    const auto port = ParsePort(rest.substr(1));
    if (!port) return std::nullopt;
    address.port = *port;
    return address;
  }
  const auto firstColon = text.find(':');
  if (firstColon != std::string_view::npos && text.find(':', firstColon + 1) != std::string_view::npos) {
    // More than one colon without brackets can only be an IPv6 address,
    // which then cannot carry a port.
    address.host = std::string(text);
    if (!IsIpv6Address(address.host)) return std::nullopt;
    return address;
  }
  address.host = std::string(text.substr(0, firstColon));
  if (!IsUsableHostName(address.host)) return std::nullopt;
  if (firstColon != std::string_view::npos) {
    const auto port = ParsePort(text.substr(firstColon + 1));
    if (!port) return std::nullopt;
    address.port = *port;
  }
  return address;
}

std::string DescribeHostAddress(const FtpHostAddress& address) {
  const bool isIpv6 = address.host.find(':') != std::string::npos;
  return (isIpv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

}  // namespace ostrel
