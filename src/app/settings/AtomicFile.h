#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The whole file; empty when it does not exist; nothing when it exists but
// cannot be read.
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
