#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "recode/FileError.h"
#include "recode/Koi8Recoder.h"
#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// Points the system's temporary directory (TMPDIR) somewhere else for one
// test, so the recoder's files land where the test can see and remove them.
class ScopedTemporaryDirectory {
 public:
  explicit ScopedTemporaryDirectory(const fs::path& directory) {
    if (const char* old = std::getenv("TMPDIR")) previous_ = old;
    ::setenv("TMPDIR", directory.c_str(), 1);
  }
  ~ScopedTemporaryDirectory() {
    if (previous_)
      ::setenv("TMPDIR", previous_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  ScopedTemporaryDirectory(const ScopedTemporaryDirectory&) = delete;
  ScopedTemporaryDirectory& operator=(const ScopedTemporaryDirectory&) = delete;

 private:
  std::optional<std::string> previous_;
};

class Koi8RecoderTest : public ::testing::Test {
 protected:
  Koi8RecoderTest() : tempFiles_(root_.Path() / "tmp"), source_(root_.Path() / "site" / "a.htm") {
    fs::create_directories(tempFiles_);
  }

  const fs::path& TempFiles() const { return tempFiles_; }
  const fs::path& Source() const { return source_; }

  // Recodes `text` from a source file and returns the temporary file's bytes.
  std::string Recode(const std::string& text, bool noQuestionMarks) {
    WriteFile(source_, text);
    Koi8Recoder recoder(source_.string());
    std::string uploadPath = source_.string();
    recoder.RecodeFile(uploadPath, noQuestionMarks);
    EXPECT_EQ(uploadPath, recoder.TempName());
    EXPECT_EQ(ReadFile(source_), text) << "the local file must stay as it was";
    return ReadFile(recoder.TempName());
  }

 private:
  test::TempDirectory root_;
  fs::path tempFiles_;
  ScopedTemporaryDirectory redirect_{tempFiles_};
  fs::path source_;
};

struct ContentCase {
  const char* what;
  std::string source;
  bool noQuestionMarks;
  std::string expected;
};

TEST_F(Koi8RecoderTest, TemporaryFileHoldsTheRecodedText) {
  const std::string asciiPage = "<html>\r\n<body>\r\n<p>Hello?</p>\r\n</body>\r\n</html>\r\n";
  const std::vector<ContentCase> cases = {
      {"empty file", "", false, ""},
      {"pure ASCII with CR LF stays byte for byte", asciiPage, false, asciiPage},
      {"a Russian word", "\xCF\xF0\xE8\xE2\xE5\xF2", false, "\xF0\xD2\xC9\xD7\xC5\xD4"},
      {"capital and small io", "\xA8\xB8", false, "\xB3\xA3"},
      {"quotation marks become ?", "\x93?\x94", false, "???"},
      {"quotation marks become spaces, ? stays", "\x93?\x94", true, " ? "},
      {"dashes and no-break space", "\x96\xA0\x97", false, "- -"},
      {"dashes and no-break space without question marks", "\x96\xA0\x97", true, "- -"},
      {"declaration removed before translation",
       "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
       "charset=windows-1251\">\r\n"
       "<title>\xCF\xF0\xE8\xE2\xE5\xF2</title>",
       false, "<html>\r\n<head>\r\n\r\n<title>\xF0\xD2\xC9\xD7\xC5\xD4</title>"},
  };
  for (const ContentCase& testCase : cases)
    EXPECT_EQ(Recode(testCase.source, testCase.noQuestionMarks), testCase.expected) << testCase.what;
}

TEST_F(Koi8RecoderTest, TemporaryFileIsCreatedEmptyInTheTemporaryDirectory) {
  Koi8Recoder recoder("/nowhere/a.htm");
  const fs::path temp = recoder.TempName();
  EXPECT_EQ(recoder.SourceName(), "/nowhere/a.htm");
  EXPECT_EQ(temp.parent_path(), TempFiles());
  EXPECT_EQ(temp.filename().string().rfind("~k8", 0), 0u) << temp;
  ASSERT_TRUE(fs::is_regular_file(temp));
  EXPECT_EQ(fs::file_size(temp), 0u);

  Koi8Recoder another("/nowhere/a.htm");
  EXPECT_NE(another.TempName(), recoder.TempName());
}

TEST_F(Koi8RecoderTest, TemporaryFileCarriesTheSourceTimesToTheSecond) {
  WriteFile(Source(), "text");
  const struct timespec sourceTimes[2] = {{1000000123, 250000000}, {990000077, 700000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Source().c_str(), sourceTimes, 0), 0);

  Koi8Recoder recoder(Source().string());
  std::string uploadPath;
  recoder.RecodeFile(uploadPath, false);

  struct stat status {};
  ASSERT_EQ(::stat(recoder.TempName().c_str(), &status), 0);
  EXPECT_EQ(status.st_mtim.tv_sec, 990000077);
  EXPECT_EQ(status.st_mtim.tv_nsec, 0);
  EXPECT_EQ(status.st_atim.tv_sec, 1000000123);
}

TEST_F(Koi8RecoderTest, SourceWithoutLastWriteTimeLeavesTheTemporaryFileItsOwn) {
  WriteFile(Source(), "text");
  const struct timespec epoch[2] = {{0, 0}, {0, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Source().c_str(), epoch, 0), 0);

  Koi8Recoder recoder(Source().string());
  std::string uploadPath;
  recoder.RecodeFile(uploadPath, false);

  struct stat status {};
  ASSERT_EQ(::stat(recoder.TempName().c_str(), &status), 0);
  EXPECT_GT(status.st_mtim.tv_sec, 0);
}

TEST_F(Koi8RecoderTest, TemporaryFileOfAReadOnlySourceIsWritable) {
  WriteFile(Source(), "text");
  fs::permissions(Source(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  Koi8Recoder recoder(Source().string());
  std::string uploadPath;
  recoder.RecodeFile(uploadPath, false);

  EXPECT_EQ(fs::status(recoder.TempName()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// Runs a recoding that must fail and returns the error; the upload path must
// still name the local file.
FileError ExpectRecodeFailure(Koi8Recoder& recoder) {
  std::string uploadPath = "local path";
  try {
    recoder.RecodeFile(uploadPath, false);
  } catch (const FileError& error) {
    EXPECT_EQ(uploadPath, "local path");
    return error;
  }
  ADD_FAILURE() << "RecodeFile did not raise FileError";
  return FileError(FileErrorCause::Generic, "");
}

TEST_F(Koi8RecoderTest, MissingSourceIsReportedAsNotFound) {
  const std::string missing = (Source().parent_path() / "gone.htm").string();
  Koi8Recoder recoder(missing);
  const FileError error = ExpectRecodeFailure(recoder);
  EXPECT_EQ(error.Cause(), FileErrorCause::NotFound);
  EXPECT_EQ(error.Path(), missing);
  EXPECT_STREQ(error.what(), (missing + " was not found.").c_str());
}

TEST_F(Koi8RecoderTest, DirectoryAsSourceIsReportedAsAccessDenied) {
  fs::create_directories(Source());
  Koi8Recoder recoder(Source().string());
  const FileError error = ExpectRecodeFailure(recoder);
  EXPECT_EQ(error.Cause(), FileErrorCause::AccessDenied);
  EXPECT_STREQ(error.what(), ("Access to " + Source().string() + " was denied.").c_str());
}

TEST_F(Koi8RecoderTest, UnreadableSourceIsReportedAsAccessDenied) {
  WriteFile(Source(), "text");
  fs::permissions(Source(), fs::perms::none);
  ostrel::test::EnforcePermissionChecks permissionChecks;
  Koi8Recoder recoder(Source().string());
  const FileError error = ExpectRecodeFailure(recoder);
  EXPECT_EQ(error.Cause(), FileErrorCause::AccessDenied);
  EXPECT_EQ(error.Path(), Source().string());
}

TEST_F(Koi8RecoderTest, SourceLockedByAWriterIsASharingViolation) {
  WriteFile(Source(), "text");
  const int writer = ::open(Source().c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);

  Koi8Recoder recoder(Source().string());
  const FileError error = ExpectRecodeFailure(recoder);
  ::close(writer);
  EXPECT_EQ(error.Cause(), FileErrorCause::SharingViolation);
  EXPECT_EQ(error.Path(), Source().string());
}

TEST_F(Koi8RecoderTest, MissingTemporaryDirectoryFailsWhenTheTextIsWritten) {
  WriteFile(Source(), "text");
  const fs::path missingDirectory = TempFiles() / "missing";
  ScopedTemporaryDirectory redirect(missingDirectory);

  Koi8Recoder recoder(Source().string());
  EXPECT_TRUE(recoder.TempName().empty());
  const FileError error = ExpectRecodeFailure(recoder);
  EXPECT_EQ(error.Cause(), FileErrorCause::NotFound);
  EXPECT_EQ(fs::path(error.Path()).parent_path(), missingDirectory);
  EXPECT_NE(std::string(error.what()).find(missingDirectory.string()), std::string::npos) << error.what();
}

TEST_F(Koi8RecoderTest, ReadOnlyTemporaryDirectoryFailsWhenTheTextIsWritten) {
  WriteFile(Source(), "text");
  ostrel::test::EnforcePermissionChecks permissionChecks;
  const fs::path readOnly = TempFiles() / "read-only";
  fs::create_directories(readOnly);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  ScopedTemporaryDirectory redirect(readOnly);

  Koi8Recoder recoder(Source().string());
  const FileError error = ExpectRecodeFailure(recoder);
  EXPECT_EQ(error.Cause(), FileErrorCause::AccessDenied);
}

}  // namespace
}  // namespace ostrel
