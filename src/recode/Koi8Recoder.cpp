#include "recode/Koi8Recoder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "platform/FileDescriptor.h"
#include "platform/FileError.h"
#include "recode/RemoveCharsetMeta.h"
#include "recode/TranslateToKoi8.h"

namespace ostrel {
namespace {

constexpr const char* kTempNameTemplate = "~k8XXXXXX";
// Linux moves at most this much in one read or write call.
constexpr std::size_t kLargestTransfer = 0x7ffff000;

int OpenForReading(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw FileError::FromErrno(errno, path);
  return descriptor;
}

// Keeps out writers that lock the file while its text is read. A file system
// without locks is read all the same.
void LockAgainstWriters(const FileDescriptor& file, const std::string& path) {
  if (::flock(file.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
    throw FileError(FileErrorCause::SharingViolation, path, errno);
}

std::size_t ReadUpTo(const FileDescriptor& file, const std::string& path, char* buffer, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t got = ::read(file.Get(), buffer + total, std::min(size - total, kLargestTransfer));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError::FromErrno(errno, path);
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

void WriteAll(const FileDescriptor& file, const std::string& path, const char* bytes, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t put = ::write(file.Get(), bytes + total, std::min(size - total, kLargestTransfer));
    if (put < 0) {
      if (errno == EINTR) continue;
      throw FileError::FromErrno(errno, path);
    }
    // A regular file takes nothing more only when its device is full.
    if (put == 0) throw FileError(FileErrorCause::DiskFull, path);
    total += static_cast<std::size_t>(put);
  }
}

// Opens the source, keeps writers that lock it out, and tells its times.
FileDescriptor OpenSource(const std::string& path, struct stat& status) {
  FileDescriptor source(OpenForReading(path));
  LockAgainstWriters(source, path);
  if (::fstat(source.Get(), &status) != 0) throw FileError::FromErrno(errno, path);
  if (S_ISDIR(status.st_mode)) throw FileError(FileErrorCause::AccessDenied, path, EISDIR);
  return source;
}

// A new file only this descriptor reaches: created exclusively, then
// unlinked. `name` is what it was called, for messages.
FileDescriptor CreateTemporaryFile(std::string& name) {
  std::error_code error;
  std::filesystem::path directory = std::filesystem::temp_directory_path(error);
  if (error) {
    // temp_directory_path forgets the directory it rejected; name the usual
    // one so the report points somewhere. The folder is what the user can
    // mend, not the name pattern of a file that never came to be.
    const char* configured = std::getenv("TMPDIR");
    throw FileError::FromErrno(error.value(), configured != nullptr ? configured : "/tmp");
  }
  name = (directory / kTempNameTemplate).string();
  FileDescriptor temporary(::mkostemp(name.data(), O_CLOEXEC));
  if (!temporary.IsOpen()) throw FileError::FromErrno(errno, directory.string());
  ::unlink(name.c_str());
  return temporary;
}

// Streams the source's text through the declaration removal and hands every
// final piece to `sink`.
template <typename Sink>
void StreamWithoutDeclarations(const FileDescriptor& source, const std::string& path, Sink&& sink) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(Koi8Recoder::kBlockSize);
  CharsetMetaRemover remover;
  std::string piece;
  for (;;) {
    const std::size_t got = ReadUpTo(source, path, buffer.get(), Koi8Recoder::kBlockSize);
    if (got == 0) break;
    remover.Add(std::string_view(buffer.get(), got), piece);
    sink(piece);
    piece.clear();
  }
  remover.Finish(piece);
  sink(piece);
}

}  // namespace

Koi8Recoder::Koi8Recoder(std::string sourceName) : sourceName_(std::move(sourceName)) {}

FileDescriptor Koi8Recoder::RecodeFile(bool noQuestionMarks) {
  struct stat status {};
  const FileDescriptor source = OpenSource(sourceName_, status);
  std::string temporaryName;
  FileDescriptor temporary = CreateTemporaryFile(temporaryName);
  StreamWithoutDeclarations(source, sourceName_, [&](std::string& piece) {
    TranslateToKoi8(piece.data(), piece.size(), noQuestionMarks);
    WriteAll(temporary, temporaryName, piece.data(), piece.size());
  });
  // Whole seconds, as the stamp carries them; a missing access time is taken
  // to be the last write.
  const time_t lastWrite = status.st_mtim.tv_sec;
  const time_t lastAccess = status.st_atim.tv_sec != 0 ? status.st_atim.tv_sec : lastWrite;
  const struct timespec stamps[2] = {{lastAccess, 0}, {lastWrite, 0}};
  if (lastWrite != 0 && ::futimens(temporary.Get(), stamps) != 0) throw FileError::FromErrno(errno, temporaryName);
  if (::lseek(temporary.Get(), 0, SEEK_SET) != 0) throw FileError::FromErrno(errno, temporaryName);
  return temporary;
}

std::int64_t Koi8Recoder::RecodedSize() {
  struct stat status {};
  const FileDescriptor source = OpenSource(sourceName_, status);
  std::int64_t size = 0;
  StreamWithoutDeclarations(source, sourceName_,
                            [&](const std::string& piece) { size += static_cast<std::int64_t>(piece.size()); });
  return size;
}

}  // namespace ostrel
