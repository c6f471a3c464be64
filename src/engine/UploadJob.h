#pragma once

#include <optional>
#include <string>

#include "engine/LocalFileStatus.h"

namespace ostrel {

// One file the walk decided to copy, with every setting its upload depends
// on read when it was decided, so that any connection can carry it out.
struct UploadJob {
  std::string localPath;
  // Absolute, with slashes, ending with "/".
  std::string remoteDirectory;
  std::string name;
  LocalFileStatus status;
  bool recoded = false;
  bool noQMarks = true;
  // The permission bits of the remote file this one replaces, where the
  // listing showed them: a copy renamed over it would get the server's
  // default ones instead.
  std::optional<unsigned> replacedMode;
  // The remote file this one replaces was listed, with this size where shown.
  bool replacesListed = false;
  std::optional<std::int64_t> replacedSize;
  // The name it goes up under before it is renamed over the page, once
  // chosen (when its STOR went out ahead of it); else chosen when sent.
  std::string temporaryName;
};

// How an upload ended.
struct UploadOutcome {
  bool copied = false;
  // Why not: the server's reply or the file error.
  std::string failure;
  // The connection was lost and could not be made again; the file may go
  // out on another.
  bool connectionLost = false;
  // Given up after a stop request, the server having gone quiet: the page
  // stays as it was, a temporary copy is left for the next run.
  bool stopped = false;
  // What the user should read about how uploads adapted, once; else empty.
  std::string notice;
};

}  // namespace ostrel
