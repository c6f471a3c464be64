#include "app/settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/FileDescriptor.h"

namespace ostrel {
namespace {

bool WriteAll(int descriptor, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = ::write(descriptor, contents.data(), contents.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A new file beside the target, created with the usual permissions (0666
// less the umask), under a name no other writer is using.
FileDescriptor CreateTemporaryFile(const std::filesystem::path& target, std::filesystem::path& temporary) {
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".";
    suffix.append(std::to_string(::getpid())).append(".").append(std::to_string(serial++)).append(".tmp");
    temporary = target;
    temporary += suffix;
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return FileDescriptor(descriptor);
  }
  return FileDescriptor(-1);
}

// A file the user made read-only stays as it is, as the rename alone would
// not stop at its permissions. Opening it for writing, without changing it,
// asks exactly that of the system.
bool MayReplace(const std::filesystem::path& target, int temporaryDescriptor) {
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0) return errno == ENOENT;
  if (!FileDescriptor(::open(target.c_str(), O_WRONLY | O_CLOEXEC)).IsOpen()) return false;
  return ::fchmod(temporaryDescriptor, status.st_mode & 07777) == 0;
}

// Makes the rename itself durable. The new contents are already in place, so
// a failure here changes nothing the caller could act on.
void SyncDirectory(const std::filesystem::path& directory) {
  FileDescriptor descriptor(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (descriptor.IsOpen()) ::fsync(descriptor.Get());
}

}  // namespace

std::optional<std::string> ReadFileIfPresent(const std::filesystem::path& file) {
  FileDescriptor input(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!input.IsOpen()) return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
  std::string contents;
  char buffer[8192];
  for (;;) {
    const ssize_t count = ::read(input.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) return contents;
    contents.append(buffer, static_cast<std::size_t>(count));
  }
}

bool ReplaceFileContents(const std::filesystem::path& file, std::string_view contents) {
  std::error_code error;
  // Renaming over a symbolic link would cut it off from the file it names.
  struct stat linkStatus {};
  const bool isLink = ::lstat(file.c_str(), &linkStatus) == 0 && S_ISLNK(linkStatus.st_mode);
  const std::filesystem::path target = isLink ? std::filesystem::weakly_canonical(file, error) : file;
  if (error) return false;
  const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
  std::filesystem::create_directories(directory, error);
  if (error) return false;

  std::filesystem::path temporary;
  FileDescriptor output = CreateTemporaryFile(target, temporary);
  if (!output.IsOpen()) return false;
  const bool replaced = MayReplace(target, output.Get()) && WriteAll(output.Get(), contents) &&
                        ::fsync(output.Get()) == 0 && output.Close() &&
                        ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!replaced) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectory(directory);
  return true;
}

}  // namespace ostrel
