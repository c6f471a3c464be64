#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/FileDescriptor.h"
#include "platform/Translation.h"

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

// Removes "TARGET.PID.N.tmp" left beside the target by a writer that was
// killed before its rename: a process of that number no longer runs. A file
// of a writer still at work is left alone.
void RemoveAbandonedTemporaries(const std::filesystem::path& target) {
  std::error_code error;
  const std::string prefix = target.filename().string() + ".";
  for (const auto& entry :
       std::filesystem::directory_iterator(target.parent_path().empty() ? "." : target.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) continue;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const auto dot = middle.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == middle.size() ||
        middle.find_first_not_of("0123456789.") != std::string::npos || middle.find('.', dot + 1) != std::string::npos)
      continue;
    const long process = std::strtol(middle.substr(0, dot).c_str(), nullptr, 10);
    if (process > 0 && process != ::getpid() && ::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH)
      std::filesystem::remove(entry.path(), error);
  }
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

SmallFileRead ReadSmallRegularFile(const std::filesystem::path& file) {
  SmallFileRead result;
  // Without O_NONBLOCK the open of a FIFO waits for a writer that may never come.
  FileDescriptor input(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!input.IsOpen() || ::fstat(input.Get(), &status) != 0) {
    result.missing = errno == ENOENT;
    result.problem = std::strerror(errno);
    return result;
  }
  if (!S_ISREG(status.st_mode)) {
    result.problem = Translate("not a regular file");
    return result;
  }
  const std::string tooLarge = FormatText(Translate("larger than %s MiB"), {std::to_string(kLargestReadFile >> 20)});
  if (static_cast<std::uintmax_t>(status.st_size) > kLargestReadFile) {
    result.problem = tooLarge;
    return result;
  }
  std::string contents;
  char buffer[8192];
  for (;;) {
    const ssize_t count = ::read(input.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      result.problem = std::strerror(errno);
      return result;
    }
    if (count == 0) break;
    contents.append(buffer, static_cast<std::size_t>(count));
    // The file may grow while it is read.
    if (contents.size() > kLargestReadFile) {
      result.problem = tooLarge;
      return result;
    }
  }
  result.contents = std::move(contents);
  result.permissions = status.st_mode & 07777;
  return result;
}

std::optional<std::string> ReadFileIfPresent(const std::filesystem::path& file) {
  SmallFileRead read = ReadSmallRegularFile(file);
  if (read.missing) return std::string();
  return std::move(read.contents);
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

  RemoveAbandonedTemporaries(target);
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
