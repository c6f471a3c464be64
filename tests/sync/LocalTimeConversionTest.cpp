#include "sync/LocalTimeConversion.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

namespace ostrel {
namespace {

// Runs each case in a chosen time zone, restoring the previous one afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    const char* old = getenv("TZ");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

struct ConversionCase {
  const char* zone;
  std::int64_t utcSeconds;
  std::int64_t expected;
};

class LocalTimeConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(LocalTimeConversionTest, GivesTheSecondsOfTheLocalCalendarFields) {
  const ConversionCase& c = GetParam();
  ScopedTimeZone zone(c.zone);
  EXPECT_EQ(ConvertThroughLocalTime(c.utcSeconds), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalTimeConversionTest,
    testing::Values(
        // A round trip through the local fields keeps every ordinary instant.
        ConversionCase{"UTC", 1700000000, 1700000000},
        ConversionCase{"Europe/Moscow", 1700000000, 1700000000},
        ConversionCase{"America/New_York", 1700000000, 1700000000},
        // Beyond January 2038 the seconds stay right: they are 64-bit.
        ConversionCase{"UTC", 4102444800, 4102444800},
        ConversionCase{"Europe/Berlin", 4102444800, 4102444800},
        // A calendar year before 1900 gives 0.
        ConversionCase{"UTC", -2208988801, 0},
        ConversionCase{"UTC", -2208988800, -2208988800}));

TEST(LocalTimeConversion, AmbiguousAutumnHourIsResolvedTheSameWayForEqualInputs) {
  ScopedTimeZone zone("Europe/Berlin");
  // 2023-10-29 00:30 UTC and 01:30 UTC both read 02:30 local; mktime picks one
  // of them, and both sides of a comparison land on the same second.
  const std::int64_t first = ConvertThroughLocalTime(1698539400);
  const std::int64_t second = ConvertThroughLocalTime(1698543000);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(first == 1698539400 || first == 1698543000);
}

}  // namespace
}  // namespace ostrel
