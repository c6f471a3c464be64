#pragma once

#include <chrono>
#include <string>

#include "engine/Publisher.h"

namespace ostrel {

// The last line of a run, e.g. "3 copied, 10 skipped, 0 failed, 12345 bytes
// in 0.42 s"; a dry run says "would copy" and counts the bytes it would send.
// A run that deletes counts that too, at the end: "... in 0.42 s, 2 deleted",
// and the deletions the server refused: "2 deleted (1 refused)".
std::string FormatRunSummary(const RunResult& result, std::chrono::duration<double> elapsed, PublishMode mode);

}  // namespace ostrel
