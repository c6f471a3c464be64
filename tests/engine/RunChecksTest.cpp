// The run's checks before any logon, and the total's text.
#include <gtest/gtest.h>

#include "engine/RecordingUserInterface.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

TEST(FormatTotal, GivesBytesUpTo1024ThenWholeKilobytesPastThe32BitRange) {
  const std::pair<std::int64_t, const char*> cases[] = {{0, "0"},
                                                        {1024, "1024"},
                                                        {1025, "1K"},
                                                        {2047, "1K"},
                                                        {2048, "2K"},
                                                        {1048576, "1024K"},
                                                        {2147483648LL, "2097152K"},
                                                        {5LL * 1024 * 1024 * 1024 + 1023, "5242880K"}};
  for (const auto& [total, text] : cases) EXPECT_EQ(FormatTotal(total), text) << total;
}

TEST(RunPublishing, ChecksTheSettingsFirstAndShowsOneMessageForEachProblem) {
  test::TempDirectory temp;
  test::WriteFile(temp.Path() / "plain-file", "x");
  const std::string t = temp.Path().string();
  const struct {
    std::string localDir, host;
    std::vector<std::string> lines;
    std::string user = "user";
  } cases[] = {
      {"", "", {"box: Local directory does not specified."}},
      {"", "ftp.example.org", {"box: Local directory does not specified."}},
      {t, "", {"box: Remote FTP site does not specified."}},
      {t + "/missing/", "h", {"box: Cannot find local directory " + t + "/missing/"}},
      // Only one trailing separator is dropped before the test.
      {t + "/plain-file//", "h", {"box: Cannot find local directory " + t + "/plain-file//"}},
      {t + "/plain-file", "h", {"box: Cannot find local directory " + t + "/plain-file"}},
      {t, "nosuchhost.invalid", {"Logging on...", "box: Host not found: nosuchhost.invalid", "Finished."}},
      // The root stays itself when its separator is dropped.
      {"/", "nosuchhost.invalid", {"Logging on...", "box: Host not found: nosuchhost.invalid", "Finished."}},
      {t, "h", {"box: No user name is given: fill in the user name for the site (anonymous for a public one)."}, ""},
  };
  for (const auto& c : cases) {
    test::RecordingUserInterface recorder;
    test::TestPublisher publisher(recorder);
    publisher.LocalDir = c.localDir;
    publisher.Host = c.host;
    publisher.Name = c.user;
    publisher.TotalCopied = 77;
    const RunResult result = publisher.Run();
    EXPECT_EQ(recorder.lines, c.lines) << c.localDir << " " << c.host;
    EXPECT_EQ(result.finished, c.lines.back() == "Finished.");
    EXPECT_EQ(result.messagesShown, 1);
    EXPECT_EQ(publisher.TotalCopied, 77) << "a run that copied nothing keeps the previous total";
    EXPECT_EQ(publisher.LocalDir, c.localDir) << "the local directory is left as typed";
  }
}

}  // namespace
}  // namespace ostrel
