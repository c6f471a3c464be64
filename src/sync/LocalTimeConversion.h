#pragma once

#include <cstdint>

namespace ostrel {

// The one conversion both sides of the update decision go through: the UTC
// instant is broken down into local wall-clock fields (fractions dropped) and
// turned back into seconds by mktime, which decides daylight saving itself.
// A year before 1900, or a failed conversion, gives 0.
std::int64_t ConvertThroughLocalTime(std::int64_t utcSeconds);

}  // namespace ostrel
