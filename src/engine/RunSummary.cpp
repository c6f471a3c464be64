#include "engine/RunSummary.h"

#include <cinttypes>
#include <cstdio>

namespace ostrel {

std::string FormatRunSummary(const RunResult& result, std::chrono::duration<double> elapsed, PublishMode mode) {
  const bool dryRun = mode == PublishMode::DryRun;
  char text[160];
  std::snprintf(text, sizeof text,
                "%" PRId64 " %s, %" PRId64 " skipped, %" PRId64 " failed, %" PRId64 " bytes in %.2f s",
                result.filesCopied, dryRun ? "would copy" : "copied", result.filesSkipped, result.filesFailed,
                dryRun ? result.bytesWouldCopy : result.bytesCopied, elapsed.count());
  return text;
}

}  // namespace ostrel
