// What the server receives per directory level, read from its command log,
// and how a stop request unwinds the levels.
#include <gtest/gtest.h>

#include <algorithm>

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

// The commands that show the walk's traffic, without logon and data set-up.
std::vector<std::string> WalkCommands(const std::vector<std::string>& log) {
  static const char* const kVerbs[] = {"PWD", "CWD", "MKD", "MLSD", "LIST", "STOR", "DELE", "QUIT"};
  std::vector<std::string> kept;
  for (const std::string& line : log) {
    const std::string verb = line.substr(0, line.find(' '));
    if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) != std::end(kVerbs)) kept.push_back(line);
  }
  return kept;
}

class PublishTrafficTest : public testing::Test {
 protected:
  PublishTrafficTest() : server_(ServerKind::Pyftpdlib) {}

  void Publish(RecordingUserInterface& recorder) {
    TestPublisher publisher(recorder);
    test::AimAt(publisher, server_, local_.Path());
    publisher.Run();
  }

  SiteServer server_;
  TempDirectory local_;
};

TEST_F(PublishTrafficTest, FreshAndIncrementalRunsSendTheLevelsCommands) {
  test::WriteFile(local_.Path() / "a.htm", "a");
  test::WriteFile(local_.Path() / "docs" / "b.htm", "b");

  RecordingUserInterface fresh;
  Publish(fresh);
  EXPECT_EQ(WalkCommands(server_.CommandLog()),
            (std::vector<std::string>{"CWD /site", "PWD", "CWD /site/", "MLSD /site/", "STOR a.htm", "PWD",
                                      "CWD /site/docs/", "MKD /site/docs/", "CWD /site/docs/", "MLSD /site/docs/",
                                      "STOR b.htm", "CWD /site/docs/", "CWD /site/", "QUIT"}));

  server_.ClearCommandLog();
  RecordingUserInterface incremental;
  Publish(incremental);
  EXPECT_EQ(WalkCommands(server_.CommandLog()),
            (std::vector<std::string>{"CWD /site", "PWD", "CWD /site/", "MLSD /site/", "PWD", "CWD /site/docs/",
                                      "MLSD /site/docs/", "CWD /site/docs/", "CWD /site/", "QUIT"}));
}

TEST_F(PublishTrafficTest, StopAtAStatusLineFinishesThatFileAndUnwindsEveryLevel) {
  test::WriteFile(local_.Path() / "top.htm", "top");
  for (const char* name : {"g1.htm", "g2.htm", "g3.htm"}) test::WriteFile(local_.Path() / "one" / name, name);
  for (const char* name : {"h1.htm", "h2.htm"}) test::WriteFile(local_.Path() / "two" / name, name);

  RecordingUserInterface recorder;
  TestPublisher* running = nullptr;
  int copyLines = 0;
  recorder.onStatus = [&](int, const std::string& status) {
    // The second copy is the first file of whichever directory comes first.
    if (status.rfind("Copying: ", 0) == 0 && ++copyLines == 2) running->Running = 0;
  };
  TestPublisher publisher(recorder);
  running = &publisher;
  test::AimAt(publisher, server_, local_.Path());
  publisher.Run();

  const std::vector<std::string> transcript = recorder.Transcript();
  ASSERT_EQ(transcript.size(), 5u);
  EXPECT_EQ(transcript[2], "Copying: " + (local_.Path() / "top.htm").string());
  const std::string stoppedAt = transcript[3];
  EXPECT_EQ(transcript[4], "Finished.");

  // The file whose line was showing went up; nothing after it did.
  const std::string firstDirectory = std::filesystem::path(stoppedAt).parent_path().filename().string();
  const std::string otherDirectory = firstDirectory == "one" ? "two" : "one";
  const std::string stoppedFile = std::filesystem::path(stoppedAt).filename().string();
  EXPECT_TRUE(std::filesystem::exists(server_.Root() / "site" / firstDirectory / stoppedFile));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(server_.Root() / "site" / firstDirectory),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_FALSE(std::filesystem::exists(server_.Root() / "site" / otherDirectory));

  // Each active level makes its path current once more on the way out.
  const std::vector<std::string> commands = WalkCommands(server_.CommandLog());
  const std::vector<std::string> tail(commands.end() - 4, commands.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"STOR " + stoppedFile, "CWD /site/" + firstDirectory + "/",
                                            "CWD /site/", "QUIT"}));
}

TEST_F(PublishTrafficTest, StopAtProcessingStillEntersTheRemoteDirectoryButWalksNothing) {
  test::WriteFile(local_.Path() / "a.htm", "a");
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  recorder.onStatus = [&](int, const std::string& status) {
    if (status == "Processing...") publisher.Running = 0;
  };
  test::AimAt(publisher, server_, local_.Path());
  publisher.Run();

  EXPECT_EQ(recorder.Transcript(), (std::vector<std::string>{"Logging on...", "Processing...", "Finished."}));
  EXPECT_EQ(WalkCommands(server_.CommandLog()), (std::vector<std::string>{"CWD /site", "QUIT"}));
}

TEST_F(PublishTrafficTest, RemoteDirectoryTypedWithBackslashesGivesSlashPaths) {
  test::WriteFile(local_.Path() / "docs" / "a.htm", "a");
  std::filesystem::create_directories(server_.Root() / "pub" / "site");
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  test::AimAt(publisher, server_, local_.Path().string() + "/");
  publisher.RemoteDir = "\\pub\\site\\";
  publisher.UpdateOnly = 0;
  publisher.Run();

  EXPECT_TRUE(std::filesystem::exists(server_.Root() / "pub" / "site" / "docs" / "a.htm"));
  const std::vector<std::string> commands = WalkCommands(server_.CommandLog());
  EXPECT_NE(std::find(commands.begin(), commands.end(), "CWD /pub/site/docs/"), commands.end());
  EXPECT_EQ(publisher.RemoteDir, "\\pub\\site\\") << "a leading and trailing backslash are kept";
  EXPECT_EQ(publisher.LocalDir, local_.Path().string() + "/");
}

TEST_F(PublishTrafficTest, NormalisedDirectoriesStayInTheSettingsAfterTheRun) {
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  test::AimAt(publisher, server_, local_.Path());
  publisher.RemoteDir = "site";
  publisher.Run();
  EXPECT_EQ(publisher.LocalDir, local_.Path().string() + "/");
  EXPECT_EQ(publisher.RemoteDir, "/site/");

  publisher.RemoteDir = "";
  publisher.Run();
  EXPECT_EQ(publisher.RemoteDir, "/");
}

}  // namespace
}  // namespace ostrel
