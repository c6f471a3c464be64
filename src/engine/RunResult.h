#pragma once

#include <cstdint>

namespace ostrel {

// What one run did, for front ends that need more than the status lines.
struct RunResult {
  // The run reached its end and showed "Finished.".
  bool finished = false;
  // A stop request ended the run before the walk was through.
  bool stopped = false;
  std::int64_t messagesShown = 0;
  std::int64_t filesCopied = 0;  // in a dry run: the files that would be copied
  std::int64_t filesSkipped = 0;
  std::int64_t filesFailed = 0;
  std::int64_t bytesCopied = 0;
  // A dry run's bytes: the sizes of the files a publish would have sent.
  std::int64_t bytesWouldCopy = 0;
  // Remote entries that the local tree lacks were to be deleted.
  bool deleting = false;
  std::int64_t filesDeleted = 0;  // in a dry run: those that would be deleted
  std::int64_t deletionsRefused = 0;
};

}  // namespace ostrel
