#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// No settings or password file is near this size; a bigger one is something
// else and would only cost memory.
inline constexpr std::size_t kLargestReadFile = std::size_t{1} << 20;

// What reading a small file found.
struct SmallFileRead {
  std::optional<std::string> contents;  // nothing when it was not read
  bool missing = false;                 // it does not exist
  std::string problem;                  // why it was not read, for the user
  unsigned permissions = 0;             // its permission bits, when it was read
};

// Reads a regular file (or a link to one) of at most kLargestReadFile bytes.
// A FIFO, device, socket or directory is refused without waiting on it or
// reading from it, so that a link to a pipe or to /dev/zero can neither hang
// the program nor fill its memory.
SmallFileRead ReadSmallRegularFile(const std::filesystem::path& file);

// The whole file, read as ReadSmallRegularFile does; empty when it does not
// exist; nothing when it exists but cannot be read or is refused.
std::optional<std::string> ReadFileIfPresent(const std::filesystem::path& file);

// Gives the file new contents such that a crash or a full disk leaves either
// the old file or the new one, never a part of it: the contents go to a
// temporary file in the same directory, are flushed to the disk, and then take
// the file's place by a rename. Missing directories are created; the file
// keeps its permissions, and a file that is not writable is not replaced. On
// failure the temporary file is removed, the old file is left as it was and
// the result is false.
bool ReplaceFileContents(const std::filesystem::path& file, std::string_view contents);

}  // namespace ostrel
