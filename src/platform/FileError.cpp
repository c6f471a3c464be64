#include "platform/FileError.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace ostrel {
namespace {

std::string Describe(FileErrorCause cause, const std::string& path, int errorNumber) {
  switch (cause) {
    case FileErrorCause::NotFound:
      return path + " was not found.";
    case FileErrorCause::BadPath:
      return path + " contains an incorrect path.";
    case FileErrorCause::TooManyOpenFiles:
      return "Could not open " + path + " because there are too many open files.";
    case FileErrorCause::AccessDenied:
      return "Access to " + path + " was denied.";
    case FileErrorCause::SharingViolation:
      return "A sharing violation occurred while accessing " + path + ".";
    case FileErrorCause::DiskFull:
      return "A disk-full error occurred while writing " + path + ".";
    case FileErrorCause::HardwareError:
      return "A hardware I/O error was reported while accessing " + path + ".";
    case FileErrorCause::Generic:
      break;
  }
  // The system's own words are the only clue left for an unusual failure.
  if (errorNumber != 0) return "An error occurred while accessing " + path + ": " + std::strerror(errorNumber) + ".";
  return "An unknown error occurred while accessing " + path + ".";
}

}  // namespace

FileErrorCause FileErrorCauseFromErrno(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
      return FileErrorCause::NotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return FileErrorCause::BadPath;
    case EMFILE:
    case ENFILE:
      return FileErrorCause::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return FileErrorCause::AccessDenied;
    case EWOULDBLOCK:
    case ETXTBSY:
      return FileErrorCause::SharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileErrorCause::DiskFull;
    case EIO:
      return FileErrorCause::HardwareError;
    default:
      return FileErrorCause::Generic;
  }
}

FileError::FileError(FileErrorCause cause, std::string path, int errorNumber)
    : cause_(cause),
      path_(std::move(path)),
      errorNumber_(errorNumber),
      message_(Describe(cause_, path_, errorNumber_)) {}

FileError FileError::FromErrno(int errorNumber, std::string path) {
  return FileError(FileErrorCauseFromErrno(errorNumber), std::move(path), errorNumber);
}

}  // namespace ostrel
