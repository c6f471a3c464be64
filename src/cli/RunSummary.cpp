#include "cli/RunSummary.h"

#include <cinttypes>
#include <cstdio>

namespace ostrel {

std::string FormatRunSummary(const RunStatistics& statistics, std::int64_t bytes,
                             std::chrono::duration<double> elapsed, PublishMode mode) {
  char text[160];
  std::snprintf(text, sizeof text,
                "%" PRId64 " %s, %" PRId64 " skipped, %" PRId64 " failed, %" PRId64 " bytes in %.2f s",
                statistics.filesCopied, mode == PublishMode::DryRun ? "would copy" : "copied",
                statistics.filesSkipped, statistics.filesFailed, bytes, elapsed.count());
  return text;
}

}  // namespace ostrel
