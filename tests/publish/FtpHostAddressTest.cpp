#include "publish/ftp/FtpHostAddress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ParameterName.h"

namespace ostrel {
namespace {

struct HostCase {
  const char* text;
  std::optional<FtpHostAddress> expected;
};

void PrintTo(const HostCase& host, std::ostream* out) { *out << '"' << host.text << '"'; }

class FtpHostAddressTest : public testing::TestWithParam<HostCase> {};

TEST_P(FtpHostAddressTest, ParsesHostAndPort) {
  const auto parsed = ParseFtpHost(GetParam().text);
  ASSERT_EQ(parsed.has_value(), GetParam().expected.has_value()) << GetParam().text;
  if (parsed) {
    EXPECT_EQ(*parsed, *GetParam().expected) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, FtpHostAddressTest,
    testing::Values(HostCase{"ftp.example.com", FtpHostAddress{"ftp.example.com", 21}},
                    HostCase{"ftp.example.com:2121", FtpHostAddress{"ftp.example.com", 2121}},
                    HostCase{"127.0.0.1:65535", FtpHostAddress{"127.0.0.1", 65535}},
                    HostCase{"[::1]:2121", FtpHostAddress{"::1", 2121}},
                    HostCase{"[fe80::1]", FtpHostAddress{"fe80::1", 21}},
                    HostCase{"2001:db8::7", FtpHostAddress{"2001:db8::7", 21}},
                    HostCase{"", std::nullopt},
                    HostCase{":21", std::nullopt},
                    HostCase{"host:", std::nullopt},
                    HostCase{"host:0", std::nullopt},
                    HostCase{"host:65536", std::nullopt},
                    HostCase{"host:21x", std::nullopt},
                    HostCase{"host:-1", std::nullopt},
                    HostCase{"[::1", std::nullopt},
                    HostCase{"[::1]x", std::nullopt},
                    HostCase{"[::1]:", std::nullopt},
                    HostCase{"[]:21", std::nullopt},
                    HostCase{"[example.com]:21", std::nullopt},
                    HostCase{"my host", std::nullopt},
                    HostCase{"user@host", std::nullopt},
                    HostCase{"ftp://host", std::nullopt}),
    [](const testing::TestParamInfo<HostCase>& info) { return test::ParameterName(info.index, info.param.text); });

TEST(FtpHostAddress, DescribesIpv6WithBrackets) {
  EXPECT_EQ(DescribeHostAddress({"::1", 2121}), "[::1]:2121");
  EXPECT_EQ(DescribeHostAddress({"example.com", 21}), "example.com:21");
}

}  // namespace
}  // namespace ostrel
