// Uploads of recoded pages: what arrives, what is counted, and that no
// temporary copy is ever left behind, also when the put or the recoding fails.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"
#include "sync/RecordingUserInterface.h"
#include "sync/SiteServer.h"

namespace ostrel {
namespace {

using test::RecordingUserInterface;
using test::ServerKind;
using test::SiteServer;
using test::TempDirectory;
using test::TestPublisher;

const std::string kWordWindows1251 = "\xCF\xF0\xE8\xE2\xE5\xF2 ";
const std::string kWordKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4 ";

class RecodedUploadTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv("TMPDIR");
    if (old != nullptr) oldTemporaryDirectory_ = old;
    setenv("TMPDIR", temporaryDirectory_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (oldTemporaryDirectory_.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", oldTemporaryDirectory_.c_str(), 1);
  }

  std::vector<std::string> Publish() {
    RecordingUserInterface recorder;
    TestPublisher publisher(recorder);
    publisher.LocalDir = local_.Path().string();
    publisher.Host = server_.Host();
    publisher.Name = server_.User();
    publisher.Password = server_.Password();
    publisher.RemoteDir = "/site";
    publisher.Run();
    lastTotal_ = publisher.TotalCopied;
    return recorder.Transcript();
  }

  std::vector<std::string> LeftoverTemporaryFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temporaryDirectory_.Path()))
      if (entry.path().filename().string().rfind("~k8", 0) == 0) names.push_back(entry.path().filename());
    return names;
  }

  std::string Local(const std::string& name) const { return (local_.Path() / name).string(); }

  SiteServer server_{ServerKind::Pyftpdlib, {"--fail-stor", "refused.htm:550"}};
  TempDirectory local_;
  TempDirectory temporaryDirectory_;
  std::string oldTemporaryDirectory_;
  std::int64_t lastTotal_ = 0;
};

TEST_F(RecodedUploadTest, PageArrivesRecodedWithoutItsDeclarationAndCountsItsLocalSize) {
  const std::string head = "<html>\r\n<head>\r\n";
  const std::string declaration =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1251\"  >";
  ASSERT_EQ(declaration.size(), 70u);
  std::string page = head + declaration + "\r\n";
  std::string expected = head + "\r\n";
  while (page.size() + kWordWindows1251.size() <= 1000) {
    page += kWordWindows1251;
    expected += kWordKoi8;
  }
  expected += std::string(1000 - page.size(), 'x');
  page += std::string(1000 - page.size(), 'x');
  ASSERT_EQ(page.size(), 1000u);
  test::WriteFile(local_.Path() / "page.htm", page);
  test::WriteFile(local_.Path() / "INDEX.HTM", kWordWindows1251);

  const std::vector<std::string> transcript = Publish();

  EXPECT_EQ(transcript.back(), "Finished.");
  const std::string arrived = test::ReadFile(server_.Root() / "site" / "page.htm");
  EXPECT_EQ(arrived.size(), 930u);
  EXPECT_EQ(arrived, expected);
  EXPECT_EQ(test::ReadFile(server_.Root() / "site" / "INDEX.HTM"), kWordWindows1251) << "not a listed extension";
  EXPECT_EQ(lastTotal_, 1000 + static_cast<std::int64_t>(kWordWindows1251.size()));
  EXPECT_EQ(test::ReadFile(local_.Path() / "page.htm"), page) << "the local file is never changed";
  EXPECT_TRUE(LeftoverTemporaryFiles().empty());
  EXPECT_NE(std::find(transcript.begin(), transcript.end(), "Copying: " + Local("page.htm")), transcript.end());
}

TEST_F(RecodedUploadTest, FailedPutLeavesNoTemporaryFile) {
  test::WriteFile(local_.Path() / "refused.htm", kWordWindows1251);
  const std::vector<std::string> transcript = Publish();
  EXPECT_NE(std::find(transcript.begin(), transcript.end(), "box: Cannot copy file " + Local("refused.htm")),
            transcript.end());
  EXPECT_TRUE(LeftoverTemporaryFiles().empty());
}

TEST_F(RecodedUploadTest, UnreadableSourceEndsTheRunWithTheFileErrorAndClosesTheConnection) {
  test::WriteFile(local_.Path() / "locked.htm", kWordWindows1251);
  ::chmod(Local("locked.htm").c_str(), 0);
  test::EnforcePermissionChecks permissionChecks;

  const std::vector<std::string> transcript = Publish();

  EXPECT_EQ(transcript, (std::vector<std::string>{"Logging on...", "Processing...", "Copying: " + Local("locked.htm"),
                                                  "box: Access to " + Local("locked.htm") + " was denied.",
                                                  "Finished."}));
  EXPECT_TRUE(LeftoverTemporaryFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(server_.Root() / "site" / "locked.htm"));
  EXPECT_EQ(server_.CommandLog().back(), "QUIT");
}

TEST_F(RecodedUploadTest, TemporaryDirectoryThatCannotBeWrittenEndsTheRunWithTheFileError) {
  setenv("TMPDIR", (temporaryDirectory_.Path() / "missing").c_str(), 1);
  test::WriteFile(local_.Path() / "page.htm", kWordWindows1251);

  const std::vector<std::string> transcript = Publish();

  ASSERT_EQ(transcript.size(), 5u);
  EXPECT_EQ(transcript[3].rfind("box: ", 0), 0u);
  EXPECT_NE(transcript[3].find("missing"), std::string::npos) << transcript[3];
  EXPECT_EQ(transcript[4], "Finished.");
  EXPECT_FALSE(std::filesystem::exists(server_.Root() / "site" / "page.htm"));
}

}  // namespace
}  // namespace ostrel
