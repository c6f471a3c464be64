#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "recode/FileError.h"

namespace ostrel {
namespace {

struct Case {
  int errorNumber;
  FileErrorCause cause;
  std::string message;
};

TEST(FileErrorTest, SystemErrorsBecomeCausesAndSentencesWithThePath) {
  const std::vector<Case> cases = {
      {ENOENT, FileErrorCause::NotFound, "/site/a.htm was not found."},
      {EACCES, FileErrorCause::AccessDenied, "Access to /site/a.htm was denied."},
      {EISDIR, FileErrorCause::AccessDenied, "Access to /site/a.htm was denied."},
      {EROFS, FileErrorCause::AccessDenied, "Access to /site/a.htm was denied."},
      {EWOULDBLOCK, FileErrorCause::SharingViolation,
       "A sharing violation occurred while accessing /site/a.htm."},
      {ENOSPC, FileErrorCause::DiskFull, "A disk-full error occurred while writing /site/a.htm."},
      {EDQUOT, FileErrorCause::DiskFull, "A disk-full error occurred while writing /site/a.htm."},
      {ENOTDIR, FileErrorCause::BadPath, "/site/a.htm contains an incorrect path."},
      {EMFILE, FileErrorCause::TooManyOpenFiles,
       "Could not open /site/a.htm because there are too many open files."},
      {EIO, FileErrorCause::HardwareError, "A hardware I/O error was reported while accessing /site/a.htm."},
      {EXDEV, FileErrorCause::Generic,
       "An error occurred while accessing /site/a.htm: Invalid cross-device link."},
  };
  for (const Case& testCase : cases) {
    const FileError error = FileError::FromErrno(testCase.errorNumber, "/site/a.htm");
    EXPECT_EQ(error.Cause(), testCase.cause) << testCase.message;
    EXPECT_EQ(error.Path(), "/site/a.htm");
    EXPECT_EQ(error.ErrorNumber(), testCase.errorNumber);
    EXPECT_STREQ(error.what(), testCase.message.c_str());
  }
}

}  // namespace
}  // namespace ostrel
