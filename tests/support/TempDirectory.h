#pragma once

#include <filesystem>
#include <string>

namespace ostrel::test {

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes bytes to a file, creating parent directories as needed.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// Reads a whole file; fails the current test when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace ostrel::test
