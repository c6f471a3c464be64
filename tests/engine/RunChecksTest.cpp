// The run's checks before any logon, the total's text, and the run's log files.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "engine/RecordingUserInterface.h"
#include "engine/RunLog.h"
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

// A new log beside 31 of earlier runs leaves the newest 30 and every other file; the site in its name
// can neither lead elsewhere nor hide it.
TEST(RunLog, ANewLogIsNamedByTimeAndSiteAndTheLast30Stay) {
  test::TempDirectory temp;
  for (int run = 10; run <= 40; ++run)
    test::WriteFile(temp.Path() / ("2001-01-01_00-00-" + std::to_string(run) + "_s.log"), "");
  test::WriteFile(temp.Path() / "notes.txt", "");
  test::RecordingUserInterface recorder;
  RunLog log(recorder);
  for (const auto& [site, named] : std::vector<std::pair<std::string, std::string>>{
           {"ftp.example.org:21", "_ftp.example.org_21"}, {"../../etc/x", "_run.._.._etc_x"}, {"", "_run"}}) {
    ASSERT_EQ(log.Begin(temp.Path(), site), "");
    log.ShowMessage("Cannot copy file /a\n550 No\x1b[2J");
    log.End("0 copied");
    EXPECT_EQ(log.File().parent_path(), temp.Path());
    EXPECT_TRUE(std::regex_match(log.File().filename().string(),
                                 std::regex("20[0-9-]{8}_[0-9-]{8}" + named + "(-[0-9])?\\.log")))
        << log.File();
    EXPECT_TRUE(std::regex_match(
        test::ReadFile(log.File()),
        std::regex("(20[0-9-]{8} [0-9:]{8} (Message: Cannot copy file /a|Message: 550 No\\\\x1b\\[2J|0 copied)\n){3}")))
        << test::ReadFile(log.File());
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(temp.Path())) names.push_back(entry.path().filename());
  std::ranges::sort(names);
  EXPECT_EQ(names.size(), kKeptRunLogs + 1);
  EXPECT_EQ(names.front(), "2001-01-01_00-00-14_s.log");
  EXPECT_EQ(names.back(), "notes.txt");
}

}  // namespace
}  // namespace ostrel
