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
#include "recode/FileError.h"
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

}  // namespace

Koi8Recoder::Koi8Recoder(std::string sourceName) : sourceName_(std::move(sourceName)) {
  std::error_code error;
  std::filesystem::path directory = std::filesystem::temp_directory_path(error);
  if (error) {
    // temp_directory_path forgets the directory it rejected; name the usual
    // one so the report points somewhere.
    const char* configured = std::getenv("TMPDIR");
    directory = configured != nullptr ? configured : "/tmp";
    triedTempName_ = (directory / kTempNameTemplate).string();
    tempErrorNumber_ = error.value();
    return;
  }
  std::string name = (directory / kTempNameTemplate).string();
  const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
  if (descriptor < 0) {
    tempErrorNumber_ = errno;
    triedTempName_ = (directory / kTempNameTemplate).string();
    return;
  }
  ::close(descriptor);
  tempName_ = std::move(name);
}

void Koi8Recoder::RecodeFile(std::string& uploadPath, bool noQuestionMarks) {
  FileDescriptor source(OpenForReading(sourceName_));
  LockAgainstWriters(source, sourceName_);
  struct stat status {};
  if (::fstat(source.Get(), &status) != 0) throw FileError::FromErrno(errno, sourceName_);
  if (S_ISDIR(status.st_mode)) throw FileError(FileErrorCause::AccessDenied, sourceName_, EISDIR);
  // Whole seconds, as the stamp carries them; a missing access time is taken
  // to be the last write.
  const time_t lastWrite = status.st_mtim.tv_sec;
  const time_t lastAccess = status.st_atim.tv_sec != 0 ? status.st_atim.tv_sec : lastWrite;

  const std::size_t size = static_cast<std::size_t>(status.st_size);
  // The extra byte takes the zero that ends the text for the declaration scan.
  const auto text = std::make_unique_for_overwrite<char[]>(size + 1);
  std::size_t length = ReadUpTo(source, sourceName_, text.get(), size);
  if (!source.Close()) throw FileError::FromErrno(errno, sourceName_);

  RemoveCharsetMeta(text.get(), length);
  TranslateToKoi8(text.get(), length, noQuestionMarks);

  if (tempName_.empty()) throw FileError::FromErrno(tempErrorNumber_, triedTempName_);
  const int descriptor = ::open(tempName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (descriptor < 0) throw FileError::FromErrno(errno, tempName_);
  FileDescriptor temp(descriptor);
  WriteAll(temp, tempName_, text.get(), length);
  // Closed before it is stamped: a network file system may set the time
  // again when it flushes the data at close.
  if (!temp.Close()) throw FileError::FromErrno(errno, tempName_);

  if (lastWrite != 0) {
    const struct timespec stamps[2] = {{lastAccess, 0}, {lastWrite, 0}};
    if (::utimensat(AT_FDCWD, tempName_.c_str(), stamps, 0) != 0) throw FileError::FromErrno(errno, tempName_);
  }
  // The copy of a read-only page must still be deletable and rewritable.
  if (::chmod(tempName_.c_str(), S_IRUSR | S_IWUSR) != 0) throw FileError::FromErrno(errno, tempName_);

  uploadPath = tempName_;
}

}  // namespace ostrel
