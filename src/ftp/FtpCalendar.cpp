#include "ftp/FtpCalendar.h"

#include <time.h>

namespace ostrel {

std::optional<std::int64_t> UtcSecondsFromFields(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59)
    return std::nullopt;
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  const time_t seconds = timegm(&fields);
  // timegm carries 30 February over into March; a changed day gives it away.
  if (fields.tm_mday != day || fields.tm_mon != month - 1) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

int UtcYearOf(std::int64_t utcSeconds) {
  const time_t seconds = static_cast<time_t>(utcSeconds);
  tm fields{};
  gmtime_r(&seconds, &fields);
  return fields.tm_year + 1900;
}

}  // namespace ostrel
