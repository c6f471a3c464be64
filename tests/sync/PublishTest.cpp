// Whole publishes against real servers, one table row each: what the server's
// folder holds afterwards (in one comparison), the status lines and messages,
// the commands that reached the server and what the run counted. pyftpdlib
// lists with MLSD (exact seconds, faults injected), vsftpd only with LIST
// (minutes). Tests run in a half-hour-offset zone, where a remote time read as
// local time turns the update decision around.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <chrono>
#include <map>
#include <optional>

#include "support/FtpTestServer.h"
#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"
#include "sync/RecordingUserInterface.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using TreeSnapshot = std::map<std::string, std::string>;  // "d/" for a directory, else the file's bytes

TreeSnapshot Snapshot(const fs::path& root) {
  TreeSnapshot tree;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    tree[fs::relative(entry.path(), root).string() + (entry.is_directory() ? "/" : "")] =
        entry.is_directory() ? "" : test::ReadFile(entry.path());
  return tree;
}

void SetTime(const fs::path& path, std::int64_t seconds) {
  const timeval times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

// Local files get this time; on a whole minute, so that LIST times compare exactly.
const std::int64_t kLocalTime = (std::time(nullptr) - 3600) / 60 * 60;
const std::string kCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2\x80!";  // "Привет", a byte KOI8-R lacks, "!"
const std::string kDeclaration = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1251\"  >";

class PublishTest;

struct PublishCase {
  const char* name;
  bool vsftpd;
  std::vector<std::string> faults;
  std::function<void(PublishTest&)> setup;
  // Copying, Skipping, Would copy and message lines, local paths relative;
  // a line ending in "*" matches any line that starts with the rest.
  std::vector<std::string> lines;
  TreeSnapshot site;
  RunResult counts;  // finished and messagesShown are checked for every row
  bool deleteSent = false;
};

class PublishTest : public testing::TestWithParam<PublishCase> {
 public:
  void Local(const std::string& relative, const std::string& bytes) { test::WriteFile(local_.Path() / relative, bytes); }
  void Remote(const std::string& relative, const std::string& bytes, std::int64_t time) {
    test::WriteFile(site_ / relative, bytes);
    SetTime(site_ / relative, time);
    server_->HandOver(site_);
  }

  test::TempDirectory local_, temporary_;
  std::unique_ptr<test::TestServer> server_;
  fs::path site_;
  test::RecordingUserInterface recorder_;
  test::TestPublisher publisher_{recorder_};
  std::optional<test::EnforcePermissionChecks> permissionChecks_;
};

TEST_P(PublishTest, LeavesTheSiteShowsTheLinesAndCountsWhatItDid) {
  const PublishCase& row = GetParam();
  if (row.vsftpd && test::VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *test::VsftpdTestServer::WhyUnavailable();
  if (row.vsftpd) server_ = std::make_unique<test::VsftpdTestServer>();
  else server_ = std::make_unique<test::FtpTestServer>(test::FtpTestServerOptions{.faults = row.faults});
  site_ = server_->Root() / server_->WritablePath().substr(1) / "site";
  fs::create_directories(site_);
  server_->HandOver(site_);
  // Recoded copies go to the temporary directory: none may stay behind.
  setenv("TMPDIR", temporary_.Path().c_str(), 1);
  publisher_.LocalDir = local_.Path().string();
  publisher_.Host = server_->Host();
  publisher_.Name = server_->User();
  publisher_.Password = server_->Password();
  publisher_.RemoteDir = server_->WritablePath() + "site";
  publisher_.Xcode = 0;
  row.setup(*this);
  for (const auto& entry : fs::recursive_directory_iterator(local_.Path(), fs::directory_options::skip_permission_denied))
    if (entry.is_regular_file()) SetTime(entry.path(), kLocalTime);

  const auto started = std::chrono::steady_clock::now();
  const RunResult result = publisher_.Run();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "no hang";
  unsetenv("TMPDIR");
  permissionChecks_.reset();

  std::vector<std::string> lines;
  for (std::string line : recorder_.lines) {
    for (auto at = line.find(publisher_.LocalDir); at != std::string::npos; at = line.find(publisher_.LocalDir))
      line.erase(at, publisher_.LocalDir.size());
    const std::size_t index = lines.size();
    if (index < row.lines.size() && row.lines[index].ends_with('*') &&
        line.starts_with(row.lines[index].substr(0, row.lines[index].size() - 1)))
      line = row.lines[index];
    for (const char* kept : {"Copying: ", "Skipping: ", "Would copy: ", "box: "})
      if (line.starts_with(kept)) lines.push_back(line);
  }
  EXPECT_EQ(lines, row.lines);
  EXPECT_EQ(Snapshot(site_), row.site);
  EXPECT_TRUE(fs::is_empty(temporary_.Path())) << "a recoded copy was left behind";
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.messagesShown, std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.starts_with("box: "); }));
  EXPECT_EQ(std::tuple(result.filesCopied, result.filesSkipped, result.filesFailed, result.bytesCopied, result.bytesWouldCopy),
            std::tuple(row.counts.filesCopied, row.counts.filesSkipped, row.counts.filesFailed, row.counts.bytesCopied,
                       row.counts.bytesWouldCopy));
  if (row.vsftpd) return;
  const std::vector<std::string> log = static_cast<test::FtpTestServer&>(*server_).CommandLog();
  EXPECT_EQ(std::any_of(log.begin(), log.end(), [](auto& c) { return c.starts_with("DELE"); }), row.deleteSent);
}

std::string AllBytes() {
  std::string bytes;
  for (int byte = 0; byte < 512; ++byte) bytes += static_cast<char>(byte);
  return bytes;
}

// A page with the declaration, what a publish makes of it with and without NoQMarks.
std::string Page() { return "<html><head>\r\n" + kDeclaration + "\r\n</head>" + kCp1251; }
std::string Recoded(char lacking) { return "<html><head>\r\n\r\n</head>\xF0\xD2\xC9\xD7\xC5\xD4" + std::string(1, lacking) + "!"; }

const std::string kCutReply = "426 Data connection cut by the test server; transfer aborted.";

INSTANTIATE_TEST_SUITE_P(Rows, PublishTest, testing::Values(
    PublishCase{"EntriesGoInByteOrderAndOnlyUnderscoreDirectoriesAreLeftOut", false, {}, [](PublishTest& t) {
        for (const char* name : {"a", "B", "_x.htm", "d/e.bin", "Z/z", "_c/y.htm"}) t.Local(name, name);
        t.Local("d/e.bin", AllBytes());
      },
      {"Copying: B", "Copying: _x.htm", "Copying: a", "Copying: Z/z", "Copying: d/e.bin"},
      {{"B", "B"}, {"Z/", ""}, {"Z/z", "Z/z"}, {"_x.htm", "_x.htm"}, {"a", "a"}, {"d/", ""}, {"d/e.bin", AllBytes()}},
      {.filesCopied = 5, .bytesCopied = 1 + 3 + 6 + 1 + 512}},
    PublishCase{"WithoutRecurseOnlyTheTopLevelGoes", false, {}, [](PublishTest& t) {
        t.publisher_.Recurse = 0;
        t.Local("a.htm", "a");
        t.Local("d/b.htm", "b");
      },
      {"Copying: a.htm"}, {{"a.htm", "a"}}, {.filesCopied = 1, .bytesCopied = 1}},
    PublishCase{"EqualRemoteTimeSkipsAndOlderCopiesOverMlsd", false, {}, [](PublishTest& t) {
        for (const char* name : {"fresh.htm", "older.htm", "same.htm"}) t.Local(name, "new");
        t.Remote("older.htm", "old", kLocalTime - 1);
        t.Remote("same.htm", "old", kLocalTime);
      },
      {"Copying: fresh.htm", "Copying: older.htm", "Skipping: same.htm"},
      {{"fresh.htm", "new"}, {"older.htm", "new"}, {"same.htm", "old"}},
      {.filesCopied = 2, .filesSkipped = 1, .bytesCopied = 6}},
    PublishCase{"EqualRemoteTimeSkipsAndOlderCopiesOverListWithDotFiles", true, {}, [](PublishTest& t) {
        for (const char* name : {".htaccess", "older.htm", "same.htm", "d/e.htm"}) t.Local(name, "new");
        t.Remote(".htaccess", "old", kLocalTime);
        t.Remote("older.htm", "old", kLocalTime - 60);
        t.Remote("same.htm", "old", kLocalTime);
      },
      {"Skipping: .htaccess", "Copying: older.htm", "Skipping: same.htm", "Copying: d/e.htm"},
      {{".htaccess", "old"}, {"older.htm", "new"}, {"same.htm", "old"}, {"d/", ""}, {"d/e.htm", "new"}},
      {.filesCopied = 2, .filesSkipped = 2, .bytesCopied = 6}},
    PublishCase{"DryRunChangesNothingAndCountsWhatItWouldCopy", false, {}, [](PublishTest& t) {
        t.publisher_.Mode = PublishMode::DryRun;
        t.Local("a.htm", "aaa");
        t.Local("d/b.htm", "bb");
        t.Local("same.htm", "new");
        t.Remote("same.htm", "old", kLocalTime);
      },
      {"Would copy: a.htm", "Skipping: same.htm", "Would copy: d/b.htm"}, {{"same.htm", "old"}},
      {.filesCopied = 2, .filesSkipped = 1, .bytesWouldCopy = 5}},
    PublishCase{"RecodedPageLosesItsDeclarationAndLackingBytesBecomeSpaces", false, {}, [](PublishTest& t) {
        t.publisher_.Xcode = 1;
        t.Local("page.htm", Page());
        t.Local("raw.gif", kCp1251);
      },
      {"Copying: page.htm", "Copying: raw.gif"}, {{"page.htm", Recoded(' ')}, {"raw.gif", kCp1251}},
      {.filesCopied = 2, .bytesCopied = static_cast<std::int64_t>(Page().size() + kCp1251.size())}},
    PublishCase{"WithQuestionMarksLackingBytesBecomeQuestionMarks", false, {}, [](PublishTest& t) {
        t.publisher_.Xcode = 1;
        t.publisher_.NoQMarks = 0;
        t.Local("page.htm", Page());
      },
      {"Copying: page.htm"}, {{"page.htm", Recoded('?')}},
      {.filesCopied = 1, .bytesCopied = static_cast<std::int64_t>(Page().size())}},
    PublishCase{"RefusedPutShowsTheReplyEndsItsLevelAndTheRunGoesOn", false, {"--fail-stor", "b.htm:553"},
      [](PublishTest& t) {
        t.publisher_.Xcode = 1;
        t.Local("docs/b.htm", "new b");
        t.Local("docs/c.htm", "c");
        t.Local("more/y.htm", "y");
        t.Remote("docs/b.htm", "published before", kLocalTime - 100);
      },
      {"Copying: docs/b.htm", "box: Cannot copy file docs/b.htm\n553 Upload refused by the test server.",
       "Copying: more/y.htm"},
      {{"docs/", ""}, {"docs/b.htm", "published before"}, {"more/", ""}, {"more/y.htm", "y"}},
      {.filesCopied = 1, .filesFailed = 1, .bytesCopied = 1}},
    PublishCase{"UnreadableRecodedFileFailsAloneWithTheFileError", false, {}, [](PublishTest& t) {
        t.publisher_.Xcode = 1;
        t.Local("a/locked.htm", "l");
        t.Local("b/ok.htm", "ok");
        ::chmod((t.local_.Path() / "a" / "locked.htm").c_str(), 0);
        t.permissionChecks_.emplace();
      },
      {"Copying: a/locked.htm", "box: Cannot copy file a/locked.htm\nAccess to a/locked.htm was denied.",
       "Copying: b/ok.htm"},
      {{"a/", ""}, {"b/", ""}, {"b/ok.htm", "ok"}}, {.filesCopied = 1, .filesFailed = 1, .bytesCopied = 2}},
    PublishCase{"DataCutMidPutRemovesTheCopyOnTheSameConnection", false, {"--cut-data-during-stor", "65536"},
      [](PublishTest& t) { t.Local("big.bin", std::string(1 << 20, 'b')); },
      {"Copying: big.bin", "box: Cannot copy file big.bin\n" + kCutReply}, {}, {.filesFailed = 1}, true},
    PublishCase{"ConnectionDroppedMidPutRemovesTheCopyThroughAFreshLogon", false, {"--close-control-during-stor", "65536"},
      [](PublishTest& t) { t.Local("big.bin", std::string(1 << 20, 'b')); },
      {"Copying: big.bin", "box: Cannot copy file big.bin\n*"}, {}, {.filesFailed = 1}, true},
    PublishCase{"SilentServerTimesOutAndTheBrokenConnectionEndsTheRun", false, {"--silent-on", "STOR"},
      [](PublishTest& t) {
        t.publisher_.Timeouts.reply = t.publisher_.Timeouts.data = std::chrono::milliseconds(500);
        t.Local("docs/b.htm", "b");
      },
      {"Copying: docs/b.htm", "box: Cannot copy file docs/b.htm\nThe server did not answer within 500 ms.", "box: *"},
      {{"docs/", ""}}, {.filesFailed = 1}},
    PublishCase{"BackslashesInTheRemoteDirectoryAreSentAsSlashes", false, {}, [](PublishTest& t) {
        t.publisher_.RemoteDir = "\\site\\";
        t.Local("docs/a.htm", "a");
      },
      {"Copying: docs/a.htm"}, {{"docs/", ""}, {"docs/a.htm", "a"}}, {.filesCopied = 1, .bytesCopied = 1}},
    PublishCase{"StopRequestFinishesTheCurrentFileAndCopiesNothingAfterIt", false, {}, [](PublishTest& t) {
        for (const char* name : {"a", "b", "c", "d/e"}) t.Local(name, name);
        // Status lines: logging on, processing, a, b.
        t.recorder_.onStatus = [&t](int number, const std::string&) { if (number == 4) t.publisher_.Running = 0; };
      },
      {"Copying: a", "Copying: b"}, {{"a", "a"}, {"b", "b"}}, {.filesCopied = 2, .bytesCopied = 2}},
    PublishCase{"LinksAreFollowedAndALinkCycleIsWalkedOnce", false, {}, [](PublishTest& t) {
        t.Local("d/a.htm", "a");
        fs::create_directory_symlink(t.local_.Path(), t.local_.Path() / "d" / "loop");
        fs::create_symlink(t.local_.Path() / "d" / "a.htm", t.local_.Path() / "alias.htm");
      },
      {"Copying: alias.htm", "Copying: d/a.htm"}, {{"alias.htm", "a"}, {"d/", ""}, {"d/a.htm", "a"}},
      {.filesCopied = 2, .bytesCopied = 2}},
    PublishCase{"UnreadableLocalDirectoryIsLeftOutSilently", false, {}, [](PublishTest& t) {
        t.Local("closed/secret.htm", "s");
        t.Local("open/page.htm", "p");
        ::chmod((t.local_.Path() / "closed").c_str(), 0);
        t.permissionChecks_.emplace();
      },
      {"Copying: open/page.htm"}, {{"closed/", ""}, {"open/", ""}, {"open/page.htm", "p"}},
      {.filesCopied = 1, .bytesCopied = 1}},
    PublishCase{"RefusedLogonShowsTheServersReply", false, {}, [](PublishTest& t) {
        t.publisher_.Password = "wrong";
        t.Local("a.htm", "a");
      },
      {"box: 530 Authentication failed."}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ostrel
