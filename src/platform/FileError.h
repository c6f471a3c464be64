#pragma once

#include <exception>
#include <string>

namespace ostrel {

// Why a file operation of the recoding failed.
enum class FileErrorCause {
  Generic,
  NotFound,
  BadPath,
  TooManyOpenFiles,
  AccessDenied,
  SharingViolation,
  DiskFull,
  HardwareError,
};

// A failed open, read, write, close or stamp of a file during a recoding.
// Carries the cause, the file's path and the system's error number (0 when
// there is none); what() is the sentence the user reads, e.g.
// "/site/a.htm was not found.".
class FileError : public std::exception {
 public:
  FileError(FileErrorCause cause, std::string path, int errorNumber = 0);
  // A FileError for a failed system call, its cause taken from the error number.
  static FileError FromErrno(int errorNumber, std::string path);

  FileErrorCause Cause() const noexcept { return cause_; }
  const std::string& Path() const noexcept { return path_; }
  int ErrorNumber() const noexcept { return errorNumber_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  FileErrorCause cause_;
  std::string path_;
  int errorNumber_;
  std::string message_;
};

FileErrorCause FileErrorCauseFromErrno(int errorNumber);

}  // namespace ostrel
