#pragma once

#include <cstdint>
#include <optional>

namespace ostrel {

// Seconds since 1970-01-01 00:00 UTC for a calendar date and time taken as
// UTC; empty when the fields name no real moment (month 13, 30 February,
// hour 24, a year before 1900 or after 9999).
std::optional<std::int64_t> UtcSecondsFromFields(int year, int month, int day, int hour, int minute, int second);

// The calendar year of a moment given as seconds since 1970-01-01 00:00 UTC.
int UtcYearOf(std::int64_t utcSeconds);

}  // namespace ostrel
