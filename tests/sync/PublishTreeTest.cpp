// Whole publishes of a generated site against real servers: pyftpdlib (MLSD,
// exact seconds) and vsftpd (LIST only, minute times).
#include <gtest/gtest.h>

#include <ctime>
#include <numeric>

#include "support/TempDirectory.h"
#include "sync/RecordingUserInterface.h"
#include "sync/SiteServer.h"
#include "sync/TreeSnapshot.h"

namespace ostrel {
namespace {

using test::RecordingUserInterface;
using test::ServerKind;
using test::SiteServer;
using test::Snapshot;
using test::TempDirectory;
using test::TestPublisher;
using test::Without;

class PublishTreeTest : public testing::TestWithParam<ServerKind> {
 protected:
  void SetUp() override {
    if (GetParam() == ServerKind::Vsftpd) {
      if (auto reason = test::VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *reason;
    }
    server_ = std::make_unique<SiteServer>(GetParam());
    test::MakeSampleSite(local_.Path());
  }

  // One run with the dialog's defaults, recoding off so that bytes compare.
  std::vector<std::string> Publish(const std::function<void(TestPublisher&)>& adjust = {}) {
    RecordingUserInterface recorder;
    TestPublisher publisher(recorder);
    test::AimAt(publisher, *server_, local_.Path());
    if (adjust) adjust(publisher);
    publisher.Run();
    lastTotal_ = publisher.TotalCopied;
    EXPECT_TRUE(recorder.Messages().empty()) << recorder.Messages().front();
    EXPECT_EQ(recorder.Transcript().back(), "Finished.");
    return recorder.Transcript();
  }

  std::filesystem::path Remote() const { return server_->Site(); }
  std::string LocalPath(const std::string& relative) const { return (local_.Path() / relative).string(); }

  static std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
      if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
    std::sort(found.begin(), found.end());
    return found;
  }

  std::vector<std::string> AllPublishedFiles() const {
    std::vector<std::string> paths;
    for (const auto& [relative, bytes] : Without(Snapshot(local_.Path()), {"_private"}))
      if (relative.back() != '/') paths.push_back(LocalPath(relative));
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  TempDirectory local_;
  std::unique_ptr<SiteServer> server_;
  std::int64_t lastTotal_ = 0;
};

TEST_P(PublishTreeTest, FreshPublishMirrorsTheTreeLessSkippedDirectories) {
  const std::vector<std::string> transcript = Publish();

  EXPECT_EQ(Snapshot(Remote()), Without(Snapshot(local_.Path()), {"_private"}));
  EXPECT_EQ(transcript[0], "Logging on...");
  EXPECT_EQ(transcript[1], "Processing...");
  EXPECT_EQ(LinesStartingWith(transcript, "Copying: "), AllPublishedFiles());
  std::int64_t expectedTotal = 0;
  for (const std::string& path : AllPublishedFiles()) expectedTotal += std::filesystem::file_size(path);
  EXPECT_EQ(lastTotal_, expectedTotal);
}

TEST_P(PublishTreeTest, UnderscoreDirectoriesArePublishedWhenNotSkipped) {
  Publish([](TestPublisher& publisher) { publisher.SkipSpecialDirs = 0; });
  EXPECT_EQ(Snapshot(Remote()), Snapshot(local_.Path()));
}

TEST_P(PublishTreeTest, WithoutRecurseOnlyTheTopLevelFilesGo) {
  Publish([](TestPublisher& publisher) { publisher.Recurse = 0; });

  test::TreeSnapshot expected;
  for (const auto& entry : std::filesystem::directory_iterator(local_.Path()))
    if (entry.is_regular_file()) expected[entry.path().filename().string()] = test::ReadFile(entry.path());
  EXPECT_EQ(Snapshot(Remote()), expected);
}

TEST_P(PublishTreeTest, SecondRunCopiesNothingAndATouchedFileAlone) {
  Publish();
  const std::vector<std::string> second = Publish();
  EXPECT_TRUE(LinesStartingWith(second, "Copying: ").empty());
  EXPECT_EQ(LinesStartingWith(second, "Skipping: "), AllPublishedFiles());
  EXPECT_EQ(lastTotal_, 0);

  const std::string touched = "docs/b.txt";
  test::WriteFile(local_.Path() / touched, "docs b, changed\n");
  test::SetLastWriteTime(local_.Path() / touched, std::time(nullptr) + 120);
  const std::vector<std::string> third = Publish();
  EXPECT_EQ(LinesStartingWith(third, "Copying: "), std::vector<std::string>{LocalPath(touched)});
  EXPECT_EQ(test::ReadFile(Remote() / touched), "docs b, changed\n");
}

TEST_P(PublishTreeTest, WithoutUpdateOnlyEveryFileIsCopiedAgain) {
  Publish();
  const std::vector<std::string> second = Publish([](TestPublisher& publisher) { publisher.UpdateOnly = 0; });
  EXPECT_EQ(LinesStartingWith(second, "Copying: "), AllPublishedFiles());
  EXPECT_TRUE(LinesStartingWith(second, "Skipping: ").empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, PublishTreeTest, testing::Values(ServerKind::Pyftpdlib, ServerKind::Vsftpd),
                         [](const testing::TestParamInfo<ServerKind>& info) { return test::ToString(info.param); });

// Exact seconds need MLSD; the server's files are on this machine, so the
// remote time is set on them directly.
TEST(UpdateDecision, EqualRemoteTimeSkipsAndOneSecondOlderCopies) {
  SiteServer server(ServerKind::Pyftpdlib);
  TempDirectory local;
  test::WriteFile(local.Path() / "page.htm", "local page\n");
  const std::int64_t localTime = std::time(nullptr) - 600;
  test::SetLastWriteTime(local.Path() / "page.htm", localTime);
  const struct {
    std::int64_t remoteTime;
    const char* expectedStatus;
    const char* expectedRemoteBytes;
  } cases[] = {
      {localTime, "Skipping: ", "remote page\n"},
      {localTime + 1, "Skipping: ", "remote page\n"},
      {localTime - 1, "Copying: ", "local page\n"},
  };
  for (const auto& c : cases) {
    test::WriteFile(server.Site() / "page.htm", "remote page\n");
    test::SetLastWriteTime(server.Site() / "page.htm", c.remoteTime);
    RecordingUserInterface recorder;
    TestPublisher publisher(recorder);
    test::AimAt(publisher, server, local.Path());
    publisher.Run();
    const std::string localPath = (local.Path() / "page.htm").string();
    EXPECT_EQ(recorder.Transcript(),
              (std::vector<std::string>{"Logging on...", "Processing...", c.expectedStatus + localPath, "Finished."}))
        << "remote time offset " << c.remoteTime - localTime;
    EXPECT_EQ(test::ReadFile(server.Site() / "page.htm"), c.expectedRemoteBytes);
  }
}

}  // namespace
}  // namespace ostrel
