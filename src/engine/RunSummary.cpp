#include "engine/RunSummary.h"

#include <cstdio>
#include <string>

#include "platform/Translation.h"

namespace ostrel {

std::string FormatRunSummary(const RunResult& result, std::chrono::duration<double> elapsed, PublishMode mode) {
  const bool dryRun = mode == PublishMode::DryRun;
  const auto bytes = static_cast<unsigned long>(dryRun ? result.bytesWouldCopy : result.bytesCopied);
  char text[160];
  std::snprintf(text, sizeof text,
                // The byte count decides the plural form, in languages that have several.
                dryRun ? TranslatePlural("%lld would copy, %lld skipped, %lld failed, %lld bytes in %.2f s",
                                         "%lld would copy, %lld skipped, %lld failed, %lld bytes in %.2f s", bytes)
                       : TranslatePlural("%lld copied, %lld skipped, %lld failed, %lld bytes in %.2f s",
                                         "%lld copied, %lld skipped, %lld failed, %lld bytes in %.2f s", bytes),
                static_cast<long long>(result.filesCopied), static_cast<long long>(result.filesSkipped),
                static_cast<long long>(result.filesFailed), static_cast<long long>(bytes), elapsed.count());
  // At the end, so that scripts reading the line as it was still read it.
  std::string summary = text;
  if (result.deleting)
    summary += FormatText(dryRun ? Translate(", %s would delete") : Translate(", %s deleted"),
                          {std::to_string(result.filesDeleted)});
  if (result.deletionsRefused > 0)
    summary += FormatText(Translate(" (%s refused)"), {std::to_string(result.deletionsRefused)});
  return summary;
}

}  // namespace ostrel
