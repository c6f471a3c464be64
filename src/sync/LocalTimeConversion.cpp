#include "sync/LocalTimeConversion.h"

#include <ctime>

namespace ostrel {

std::int64_t ConvertThroughLocalTime(std::int64_t utcSeconds) {
  const std::time_t instant = static_cast<std::time_t>(utcSeconds);
  std::tm fields{};
  if (localtime_r(&instant, &fields) == nullptr) return 0;
  if (fields.tm_year < 0) return 0;
  fields.tm_isdst = -1;
  const std::time_t back = std::mktime(&fields);
  if (back == static_cast<std::time_t>(-1)) return 0;
  return static_cast<std::int64_t>(back);
}

}  // namespace ostrel
