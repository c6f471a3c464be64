// Faults met during a run, each with its exact messages in order: refusing,
// dropping and silent servers, vanished and unreadable local files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "publish/ftp/FtpSession.h"
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

class PublishFaultTest : public testing::Test {
 protected:
  std::vector<std::string> Publish(SiteServer& server, const std::function<void(TestPublisher&)>& adjust = {}) {
    RecordingUserInterface recorder;
    TestPublisher publisher(recorder);
    test::AimAt(publisher, server, local_.Path());
    publisher.TotalCopied = 999;
    if (adjust) adjust(publisher);
    publisher.Run();
    lastTotal_ = publisher.TotalCopied;
    return recorder.Transcript();
  }
  std::string Local(const std::string& relative) const { return (local_.Path() / relative).string(); }

  TempDirectory local_;
  std::int64_t lastTotal_ = 0;
};

TEST_F(PublishFaultTest, RefusedDirectoryCreationEndsTheRunWithBothMessages) {
  SiteServer server(ServerKind::Pyftpdlib, {"--refuse-mkd", "/site/docs/"});
  test::WriteFile(local_.Path() / "a.htm", "a");
  test::WriteFile(local_.Path() / "docs" / "b.htm", "b");

  EXPECT_EQ(Publish(server),
            (std::vector<std::string>{"Logging on...", "Processing...", "Copying: " + Local("a.htm"),
                                      "box: Cannot change to remote directory: /site/docs/",
                                      "box: 550 Directory creation refused by the test server.", "Finished."}));
}

TEST_F(PublishFaultTest, RemoteFileWhereADirectoryBelongsEndsTheRun) {
  if (auto reason = test::VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *reason;
  SiteServer server(ServerKind::Vsftpd);
  test::WriteFile(server.Site() / "docs", "a plain remote file");
  server.HandOver(server.Site() / "docs");
  test::WriteFile(local_.Path() / "docs" / "b.htm", "b");

  const std::vector<std::string> transcript = Publish(server);
  ASSERT_EQ(transcript.size(), 5u);
  EXPECT_EQ(transcript[2], "box: Cannot change to remote directory: /pub/site/docs/");
  EXPECT_EQ(transcript[3].rfind("box: 550", 0), 0u) << transcript[3];
  EXPECT_EQ(transcript[4], "Finished.");
}

class RefusedPutTest : public PublishFaultTest, public testing::WithParamInterface<const char*> {};

TEST_P(RefusedPutTest, EndsItsLevelKeepsThePublishedCopyAndTheNextDirectoryCarriesOn) {
  SiteServer server(ServerKind::Pyftpdlib, {"--fail-stor", std::string("b.htm:") + GetParam()});
  test::WriteFile(server.Root() / "site" / "docs" / "b.htm", "published before");
  test::WriteFile(local_.Path() / "docs" / "b.htm", "new b");
  test::WriteFile(local_.Path() / "docs" / "sub" / "x.htm", "x");
  test::WriteFile(local_.Path() / "more" / "y.htm", "y");

  // Without the update decision the put is tried although the remote copy is newer.
  const std::vector<std::string> transcript =
      Publish(server, [](TestPublisher& publisher) { publisher.UpdateOnly = 0; });
  SCOPED_TRACE(testing::PrintToString(transcript));

  const std::vector<std::string> expectedBox = {"box: Cannot copy file " + Local("docs/b.htm")};
  EXPECT_EQ(std::count(transcript.begin(), transcript.end(), expectedBox[0]), 1);
  EXPECT_EQ(transcript.back(), "Finished.");
  EXPECT_EQ(test::ReadFile(server.Root() / "site" / "docs" / "b.htm"), "published before");
  EXPECT_FALSE(std::filesystem::exists(server.Root() / "site" / "docs" / "sub"));
  EXPECT_EQ(test::ReadFile(server.Root() / "site" / "more" / "y.htm"), "y");
  for (const std::string& line : server.CommandLog()) EXPECT_NE(line.rfind("DELE", 0), 0u) << line;
}

INSTANTIATE_TEST_SUITE_P(Codes, RefusedPutTest, testing::Values("550", "552", "553"));

TEST_F(PublishFaultTest, DataConnectionCutMidPutRemovesTheTruncatedCopyOnTheSameConnection) {
  SiteServer server(ServerKind::Pyftpdlib, {"--cut-data-during-stor", "65536"});
  test::WriteFile(local_.Path() / "big.bin", std::string(1 << 20, 'b'));

  EXPECT_EQ(Publish(server),
            (std::vector<std::string>{"Logging on...", "Processing...", "Copying: " + Local("big.bin"),
                                      "box: Cannot copy file " + Local("big.bin"), "Finished."}));
  EXPECT_FALSE(std::filesystem::exists(server.Root() / "site" / "big.bin"));
  EXPECT_EQ(lastTotal_, 0);
  const std::vector<std::string> log = server.CommandLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "DELE big.bin"), log.end());
}

TEST_F(PublishFaultTest, ConnectionDroppedMidPutRemovesTheTruncatedCopyThroughAFreshLogon) {
  SiteServer server(ServerKind::Pyftpdlib, {"--close-control-during-stor", "65536"});
  test::WriteFile(local_.Path() / "big.bin", std::string(1 << 20, 'b'));

  // The failed put ends the only level, so the lost connection is not used
  // again: the run closes it and finishes with no second message.
  EXPECT_EQ(Publish(server),
            (std::vector<std::string>{"Logging on...", "Processing...", "Copying: " + Local("big.bin"),
                                      "box: Cannot copy file " + Local("big.bin"), "Finished."}));
  EXPECT_FALSE(std::filesystem::exists(server.Root() / "site" / "big.bin"));
  const std::vector<std::string> log = server.CommandLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "DELE big.bin"), log.end());
}

TEST_F(PublishFaultTest, WrongPasswordShowsOneMessageThenFinishedAndKeepsTheTotal) {
  SiteServer server(ServerKind::Pyftpdlib);
  const std::vector<std::string> transcript =
      Publish(server, [](TestPublisher& publisher) { publisher.Password = "wrong"; });
  EXPECT_EQ(transcript, (std::vector<std::string>{"Logging on...", "box: 530 Authentication failed.", "Finished."}));
  EXPECT_EQ(lastTotal_, 999);
}

TEST_F(PublishFaultTest, MissingRemoteDirectoryShowsItsMessageAndNoFinished) {
  SiteServer server(ServerKind::Pyftpdlib);
  const std::vector<std::string> transcript =
      Publish(server, [](TestPublisher& publisher) { publisher.RemoteDir = "nowhere"; });
  EXPECT_EQ(transcript,
            (std::vector<std::string>{"Logging on...", "box: Cannot set remote directory to /nowhere", ""}));
  EXPECT_EQ(lastTotal_, 999);
}

TEST_F(PublishFaultTest, ServerFallingSilentMidRunEndsWithMessagesAndNoHang) {
  SiteServer server(ServerKind::Pyftpdlib, {"--silent-on", "STOR"});

  test::WriteFile(local_.Path() / "docs" / "b.htm", "b");

  // The put times out; its level ends. The silent connection is broken from
  // then on, so the root level's return to its directory fails at once and
  // the run reports that too, without waiting again.
  const auto started = std::chrono::steady_clock::now();
  const std::vector<std::string> transcript = Publish(server, [](TestPublisher& publisher) {
    publisher.Timeouts.reply = publisher.Timeouts.data = std::chrono::milliseconds(500);
  });
  SCOPED_TRACE(testing::PrintToString(transcript));
  ASSERT_EQ(transcript.size(), 6u);
  EXPECT_EQ(transcript[4].rfind("box: ", 0), 0u);
  EXPECT_EQ(transcript.back(), "Finished.");
  EXPECT_EQ(std::count_if(transcript.begin(), transcript.end(),
                          [](const std::string& line) { return line.rfind("box: Cannot copy file ", 0) == 0; }),
            1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << "no hang";
}

TEST_F(PublishFaultTest, UnreadableLocalDirectoryIsLeftOutSilently) {
  SiteServer server(ServerKind::Pyftpdlib);
  test::WriteFile(local_.Path() / "closed" / "secret.htm", "s");
  test::WriteFile(local_.Path() / "open" / "page.htm", "p");
  ::chmod(Local("closed").c_str(), 0);
  test::EnforcePermissionChecks permissionChecks;

  const std::vector<std::string> transcript = Publish(server);

  EXPECT_EQ(std::count_if(transcript.begin(), transcript.end(),
                          [](const std::string& line) { return line.rfind("box: ", 0) == 0; }),
            0);
  EXPECT_TRUE(std::filesystem::is_directory(server.Root() / "site" / "closed"));
  EXPECT_FALSE(std::filesystem::exists(server.Root() / "site" / "closed" / "secret.htm"));
  EXPECT_EQ(test::ReadFile(server.Root() / "site" / "open" / "page.htm"), "p");
}

TEST_F(PublishFaultTest, FileThatVanishedBeforeItsUploadFailsWithoutAMessage) {
  SiteServer server(ServerKind::Pyftpdlib);
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  FtpSession session("ostrel");
  auto connection = session.Connect(server.Host(), server.User(), server.Password());

  EXPECT_FALSE(publisher.UploadFile(*connection, Local("gone.htm"), "gone.htm"));
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(publisher.TotalCopied, 0);
}

TEST_F(PublishFaultTest, LinkCycleIsWalkedOnceAndLinksAreFollowed) {
  SiteServer server(ServerKind::Pyftpdlib);
  TempDirectory elsewhere;
  test::WriteFile(elsewhere.Path() / "shared.htm", "shared");
  test::WriteFile(local_.Path() / "docs" / "a.htm", "a");
  std::filesystem::create_directory_symlink(local_.Path(), local_.Path() / "docs" / "loop");
  std::filesystem::create_directory_symlink(elsewhere.Path(), local_.Path() / "linked");
  std::filesystem::create_symlink(local_.Path() / "docs" / "a.htm", local_.Path() / "alias.htm");

  const std::vector<std::string> transcript = Publish(server);

  EXPECT_EQ(transcript.back(), "Finished.");
  EXPECT_EQ(test::ReadFile(server.Root() / "site" / "alias.htm"), "a");
  EXPECT_EQ(test::ReadFile(server.Root() / "site" / "linked" / "shared.htm"), "shared");
  EXPECT_EQ(test::ReadFile(server.Root() / "site" / "docs" / "a.htm"), "a");
  EXPECT_FALSE(std::filesystem::exists(server.Root() / "site" / "docs" / "loop"));
}

}  // namespace
}  // namespace ostrel
