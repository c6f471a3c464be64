#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace ostrel {

// Owns one open POSIX file descriptor; -1 means none. The destructor closes
// it quietly, as it is reached on paths that already report an error; Close()
// tells whether the close succeeded, since some file systems report write
// errors only then.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~FileDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  bool IsOpen() const { return descriptor_ >= 0; }
  int Get() const { return descriptor_; }
  // After EINTR the descriptor is gone on Linux and the data was handed over.
  bool Close() { return ::close(std::exchange(descriptor_, -1)) == 0 || errno == EINTR; }

 private:
  int descriptor_;
};

}  // namespace ostrel
