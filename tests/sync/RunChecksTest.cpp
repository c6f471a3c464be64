// The run's checks before any logon, and the pure pieces of the run: the
// total's text and the remote-time lookup.
#include <gtest/gtest.h>

#include "support/TempDirectory.h"
#include "sync/RecordingUserInterface.h"

namespace ostrel {
namespace {

using test::RecordingUserInterface;
using test::TempDirectory;
using test::TestPublisher;

TEST(FormatTotal, FollowsTheBytesThenKilobytesRule) {
  const struct {
    std::int64_t total;
    const char* text;
  } cases[] = {
      {0, "0"},          {1024, "1024"},       {1025, "1K"},
      {2047, "1K"},      {2048, "2K"},         {1048576, "1024K"},
      // Past the 32-bit range the text stays right.
      {2147483648LL, "2097152K"}, {5LL * 1024 * 1024 * 1024 + 1023, "5242880K"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTotal(c.total), c.text) << c.total;
}

TEST(FindRemoteTime, FindsTheFirstExactlyEqualName) {
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  for (int i = 0; i < 25; ++i) publisher.RemoteListing.push_back({"file" + std::to_string(i), i});
  publisher.RemoteListing.push_back({"index.htm", 100});
  publisher.RemoteListing.push_back({"index.htm", 200});

  std::int64_t time = -1;
  EXPECT_TRUE(publisher.FindRemoteTime("index.htm", time));
  EXPECT_EQ(time, 100);
  EXPECT_TRUE(publisher.FindRemoteTime("file24", time));
  EXPECT_EQ(time, 24);
  EXPECT_FALSE(publisher.FindRemoteTime("Index.htm", time));
  EXPECT_FALSE(publisher.FindRemoteTime("index.htm ", time));
  EXPECT_FALSE(publisher.FindRemoteTime("", time));
}

struct EarlyExitCase {
  const char* name;
  std::string localDir;  // "<tmp>" is replaced by a real directory
  std::string host;
  std::string expectedMessage;
};

class RunEarlyExitTest : public testing::TestWithParam<EarlyExitCase> {};

TEST_P(RunEarlyExitTest, ShowsOneMessageAndNothingElse) {
  TempDirectory temp;
  test::WriteFile(temp.Path() / "plain-file", "x");
  auto expand = [&](std::string text) {
    const auto at = text.find("<tmp>");
    if (at != std::string::npos) text.replace(at, 5, temp.Path().string());
    return text;
  };
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  publisher.LocalDir = expand(GetParam().localDir);
  publisher.Host = GetParam().host;
  publisher.TotalCopied = 4242;

  publisher.Run();

  EXPECT_EQ(recorder.Transcript(), std::vector<std::string>{"box: " + expand(GetParam().expectedMessage)});
  EXPECT_EQ(publisher.TotalCopied, 4242);
  EXPECT_EQ(publisher.LocalDir, expand(GetParam().localDir)) << "the local directory is left as typed";
}

INSTANTIATE_TEST_SUITE_P(
    Checks, RunEarlyExitTest,
    testing::Values(
        EarlyExitCase{"BothEmpty", "", "", "Local directory does not specified."},
        EarlyExitCase{"LocalDirEmpty", "", "ftp.example.org", "Local directory does not specified."},
        EarlyExitCase{"HostEmpty", "<tmp>", "", "Remote FTP site does not specified."},
        EarlyExitCase{"Missing", "<tmp>/missing", "h", "Cannot find local directory <tmp>/missing"},
        EarlyExitCase{"MissingWithSlash", "<tmp>/missing/", "h", "Cannot find local directory <tmp>/missing/"},
        // Only one trailing separator is dropped before the test.
        EarlyExitCase{"TwoSlashesLoseOne", "<tmp>/plain-file//", "h",
                      "Cannot find local directory <tmp>/plain-file//"},
        EarlyExitCase{"AFileIsNoDirectory", "<tmp>/plain-file", "h",
                      "Cannot find local directory <tmp>/plain-file"}),
    [](const testing::TestParamInfo<EarlyExitCase>& info) { return info.param.name; });

TEST(RunPublishing, UnknownHostShowsTheResolverTextThenFinished) {
  TempDirectory temp;
  RecordingUserInterface recorder;
  TestPublisher publisher(recorder);
  publisher.LocalDir = temp.Path().string();
  publisher.Host = "nosuchhost.invalid";
  publisher.TotalCopied = 77;

  publisher.Run();

  ASSERT_EQ(recorder.events.size(), 3u);
  EXPECT_EQ(recorder.events[0].text, "Logging on...");
  EXPECT_EQ(recorder.events[1].kind, RecordingUserInterface::Event::Kind::Message);
  EXPECT_NE(recorder.events[1].text.find("nosuchhost.invalid"), std::string::npos) << recorder.events[1].text;
  EXPECT_EQ(recorder.events[2].text, "Finished.");
  EXPECT_EQ(recorder.events[2].total, "77") << "a failed logon keeps the previous total";
}

}  // namespace
}  // namespace ostrel
