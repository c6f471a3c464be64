#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FileDescriptor.h"

namespace ostrel {

// One recoding of one local file from Windows-1251 into KOI8-R: its HTML
// charset declarations removed, its text translated. The local file is never
// changed. The text streams through a small buffer, so a file of any size is
// recoded in a few megabytes of memory.
class Koi8Recoder {
 public:
  // The text streams through blocks of this size.
  static constexpr std::size_t kBlockSize = 1 << 20;

  explicit Koi8Recoder(std::string sourceName);

  // Writes the recoded text to a new temporary file, which gets the source's
  // last-write and last-access times (to the second), and returns its
  // descriptor, positioned at the start, for the upload. The file is created
  // with mode 0600 under a unique "~k8" name in the system's temporary
  // directory (TMPDIR or /tmp) and unlinked at once: nothing can open it by
  // name, and it vanishes with its descriptor, whatever way the run ends.
  // With `noQuestionMarks` untranslatable bytes become spaces instead of "?".
  // Throws FileError when a file cannot be opened, read or written.
  FileDescriptor RecodeFile(bool noQuestionMarks);

  // The size the recoded text will have, found without writing it.
  std::int64_t RecodedSize();

  const std::string& SourceName() const noexcept { return sourceName_; }

 private:
  std::string sourceName_;
};

}  // namespace ostrel
