#include "platform/FileError.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Translation.h"

namespace ostrel {
namespace {

std::string Describe(FileErrorCause cause, const std::string& path, int errorNumber) {
  switch (cause) {
    case FileErrorCause::NotFound:
      return FormatText(Translate("%s was not found."), {path});
    case FileErrorCause::BadPath:
      return FormatText(Translate("%s contains an incorrect path."), {path});
    case FileErrorCause::TooManyOpenFiles:
      return FormatText(Translate("Could not open %s because there are too many open files."), {path});
    case FileErrorCause::AccessDenied:
      return FormatText(Translate("Access to %s was denied."), {path});
    case FileErrorCause::SharingViolation:
      return FormatText(Translate("A sharing violation occurred while accessing %s."), {path});
    case FileErrorCause::DiskFull:
      return FormatText(Translate("A disk-full error occurred while writing %s."), {path});
    case FileErrorCause::HardwareError:
      return FormatText(Translate("A hardware I/O error was reported while accessing %s."), {path});
    case FileErrorCause::Generic:
      break;
  }
  // The system's own words are the only clue left for an unusual failure.
  if (errorNumber != 0)
    return FormatText(Translate("An error occurred while accessing %s: %s."), {path, std::strerror(errorNumber)});
  return FormatText(Translate("An unknown error occurred while accessing %s."), {path});
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
