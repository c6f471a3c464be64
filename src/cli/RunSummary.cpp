#include "cli/RunSummary.h"

#include <cinttypes>
#include <cstdio>

namespace ostrel {

std::string FormatRunSummary(const RunResult& result, std::chrono::duration<double> elapsed, PublishMode mode) {
  const bool dryRun = mode == PublishMode::DryRun;
  std::string deleted;
  if (result.deleting) deleted = ", " + std::to_string(result.filesDeleted) + (dryRun ? " would delete" : " deleted");
  if (result.deletionsRefused > 0) deleted += " (" + std::to_string(result.deletionsRefused) + " refused)";
  char text[200];
  std::snprintf(text, sizeof text,
                "%" PRId64 " %s, %" PRId64 " skipped, %" PRId64 " failed%s, %" PRId64 " bytes in %.2f s",
                result.filesCopied, dryRun ? "would copy" : "copied", result.filesSkipped, result.filesFailed,
                deleted.c_str(), dryRun ? result.bytesWouldCopy : result.bytesCopied, elapsed.count());
  return text;
}

}  // namespace ostrel
