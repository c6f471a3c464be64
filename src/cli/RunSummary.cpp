#include "cli/RunSummary.h"

#include <cinttypes>
#include <cstdio>

namespace ostrel {

std::string FormatRunSummary(const RunResult& result, std::chrono::duration<double> elapsed, PublishMode mode) {
  const bool dryRun = mode == PublishMode::DryRun;
  char deleted[48] = "";
  if (result.deleting)
    std::snprintf(deleted, sizeof deleted, ", %" PRId64 " %s", result.filesDeleted,
                  dryRun ? "would delete" : "deleted");
  char text[200];
  std::snprintf(text, sizeof text,
                "%" PRId64 " %s, %" PRId64 " skipped, %" PRId64 " failed%s, %" PRId64 " bytes in %.2f s",
                result.filesCopied, dryRun ? "would copy" : "copied", result.filesSkipped, result.filesFailed, deleted,
                dryRun ? result.bytesWouldCopy : result.bytesCopied, elapsed.count());
  return text;
}

}  // namespace ostrel
