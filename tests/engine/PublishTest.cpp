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

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <regex>

#include "engine/RecordingUserInterface.h"
#include "support/FtpTestServer.h"
#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using TreeSnapshot = std::map<std::string, std::string>;  // "d/" for a directory, else the file's bytes

// An upload's temporary copy is shown without its random part.
TreeSnapshot Snapshot(const fs::path& root) {
  static const std::regex kRandomPart(R"(\.[0-9a-z]{6}(\.ostrel-upload)$)");
  TreeSnapshot tree;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    tree[std::regex_replace(fs::relative(entry.path(), root).string(), kRandomPart, "$1") +
         (entry.is_directory() ? "/" : "")] = entry.is_directory() ? "" : test::ReadFile(entry.path());
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
  // Copying, Skipping, Would copy, deletion and message lines, local paths
  // relative, the remote directory as /site/ on every server; a line ending
  // in "*" matches any line that starts with the rest.
  std::vector<std::string> lines;
  TreeSnapshot site;
  RunResult counts;                            // finished and messagesShown are checked for every row
  std::optional<bool> deleteSent = false;      // empty: either
  std::map<std::string, int> commands = {};    // how often the server got these verbs (pyftpdlib)
  std::map<std::string, unsigned> modes = {};  // permission bits of these files afterwards
  bool commandsOnFourToo = false;              // the counts hold however the work is shared
  bool packaged = false;                       // also against proftpd and pure-ftpd
};
// CTest lines name the row, not its bytes.
void PrintTo(const PublishCase& row, std::ostream* out) { *out << row.name; }

// Which server a row runs against: pyftpdlib with our command log and
// faults, or as its users start it; or vsftpd; or proftpd or pure-ftpd as
// their Debian packages start them.
enum class Server { Scripted, Stock, Vsftpd, Proftpd, PureFtpd };
void PrintTo(Server server, std::ostream* out) {
  *out << std::array{"scripted", "stock", "vsftpd", "proftpd", "pure-ftpd"}[static_cast<std::size_t>(server)];
}
std::optional<std::string> WhyUnavailable(Server server) {
  if (server < Server::Vsftpd) return std::nullopt;
  if (server == Server::Vsftpd) return test::VsftpdTestServer::WhyUnavailable();
  return test::PackagedTestServer::WhyUnavailable(server == Server::Proftpd ? test::PackagedServer::Proftpd
                                                                            : test::PackagedServer::PureFtpd);
}

// Every row runs on one connection and, unless it counts commands that
// extra connections change, on four: the same site, lines and counts. Rows
// that need neither faults nor the command log also run with the settings'
// defaults against stock pyftpdlib, as users meet it; packaged rows run with
// every setting at its default, connections aside, against proftpd and pure-ftpd.
class PublishTest : public testing::TestWithParam<std::tuple<PublishCase, int, Server>> {
 public:
  void Serve(Server server, const std::vector<std::string>& faults) {
    if (server == Server::Vsftpd)
      server_ = std::make_unique<test::VsftpdTestServer>(faults);
    else if (server >= Server::Proftpd)
      server_ = std::make_unique<test::PackagedTestServer>(server == Server::Proftpd ? test::PackagedServer::Proftpd
                                                                                     : test::PackagedServer::PureFtpd);
    else if (server == Server::Stock)
      server_ = std::make_unique<test::StockPyftpdlibServer>();
    else
      server_ = std::make_unique<test::FtpTestServer>(test::FtpTestServerOptions{.faults = faults});
    site_ = server_->Root() / server_->WritablePath().substr(1) / "site";
    fs::create_directories(site_);
    server_->HandOver(site_);
    publisher_.LocalDir = local_.Path().string();
    publisher_.Host = server_->Host();
    publisher_.Name = server_->User();
    publisher_.Password = server_->Password();
    publisher_.RemoteDir = server_->WritablePath() + "site";
    publisher_.Xcode = server >= Server::Proftpd ? RunSettings{}.Xcode : 0;
  }
  void Local(const std::string& relative, const std::string& bytes) {
    test::WriteFile(local_.Path() / relative, bytes);
  }
  void Remote(const std::string& relative, const std::string& bytes, std::int64_t time, unsigned mode = 0644) {
    test::WriteFile(site_ / relative, bytes);
    fs::permissions(site_ / relative, fs::perms(mode));
    SetTime(site_ / relative, time);
    server_->HandOver(site_);
  }

  test::TempDirectory local_, temporary_;
  std::map<std::string, std::int64_t> localTimes_;  // local files that do not get kLocalTime
  std::unique_ptr<test::TestServer> server_;
  fs::path site_;
  test::RecordingUserInterface recorder_;
  test::TestPublisher publisher_{recorder_};
  std::optional<test::EnforcePermissionChecks> permissionChecks_;
};

TEST_P(PublishTest, LeavesTheSiteShowsTheLinesAndCountsWhatItDid) {
  const auto& [row, connections, server] = GetParam();
  if (const auto reason = WhyUnavailable(server)) GTEST_SKIP() << *reason;
  Serve(server, row.faults);
  if (server != Server::Stock) publisher_.Connections = connections;
  // Recoded copies go to the temporary directory: none may stay behind.
  setenv("TMPDIR", temporary_.Path().c_str(), 1);
  row.setup(*this);
  for (const auto& entry :
       fs::recursive_directory_iterator(local_.Path(), fs::directory_options::skip_permission_denied))
    if (entry.is_regular_file()) {
      const auto given = localTimes_.find(fs::relative(entry.path(), local_.Path()).string());
      SetTime(entry.path(), given != localTimes_.end() ? given->second : kLocalTime);
    }

  const auto started = std::chrono::steady_clock::now();
  const RunResult result = publisher_.Run();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "no hang";
  unsetenv("TMPDIR");
  permissionChecks_.reset();

  std::vector<std::string> lines;
  const std::string localDirectory = publisher_.LocalDir + "/", remoteDirectory = publisher_.RemoteDir + "/";
  for (std::string line : recorder_.lines) {
    for (auto at = line.find(localDirectory); at != std::string::npos; at = line.find(localDirectory))
      line.erase(at, localDirectory.size());
    for (auto at = line.find(remoteDirectory); server >= Server::Vsftpd && at != std::string::npos;
         at = line.find(remoteDirectory))
      line.replace(at, remoteDirectory.size(), "/site/");
    for (const std::string& expected : row.lines)
      if (expected.ends_with('*') && line.starts_with(expected.substr(0, expected.size() - 1))) {
        line = expected;
        break;
      }
    for (const char* kept : {"Copying: ", "Skipping: ", "Would copy: ", "box: ", "The server refused SITE CHMOD",
                             "The server cut the listing", "The server did not list",
                             "Deleting: ", "Would delete: ", "ask: ", "Nothing was deleted"})
      if (line.starts_with(kept)) lines.push_back(line);
  }
  if (connections == 1) {
    EXPECT_EQ(lines, row.lines);
  } else {
    // Uploads on several connections interleave.
    std::vector<std::string> expected = row.lines, shown = lines;
    std::sort(expected.begin(), expected.end()), std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, expected);
  }
  EXPECT_EQ(Snapshot(site_), row.site);
  for (const auto& [name, mode] : row.modes)
    EXPECT_EQ(static_cast<unsigned>(fs::status(site_ / name).permissions()), mode) << name;
  EXPECT_TRUE(fs::is_empty(temporary_.Path())) << "a recoded copy was left behind";
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.messagesShown,
            std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.starts_with("box: "); }));
  EXPECT_EQ(std::tuple(result.filesCopied, result.filesSkipped, result.filesFailed, result.bytesCopied,
                       result.bytesWouldCopy, result.filesDeleted, result.deletionsRefused),
            std::tuple(row.counts.filesCopied, row.counts.filesSkipped, row.counts.filesFailed, row.counts.bytesCopied,
                       row.counts.bytesWouldCopy, row.counts.filesDeleted, row.counts.deletionsRefused));
  // Each file settled once, as counted.
  EXPECT_EQ(recorder_.settled.size(),
            static_cast<std::size_t>(result.filesCopied + result.filesSkipped + result.filesFailed));
  EXPECT_EQ(std::count_if(recorder_.settled.begin(), recorder_.settled.end(),
                          [](const auto& file) { return file.second == FileOutcome::Skipped; }),
            result.filesSkipped);
  // Uploads carry the local file's time (MFMT), so the next comparison does not depend on the server's clock.
  for (const std::string& line : lines) {
    const fs::path name = line.substr(line.find(' ') + 1);
    if (line.starts_with("Copying: ") && fs::exists(site_ / name) &&
        test::ReadFile(site_ / name) == test::ReadFile(local_.Path() / name)) {
      EXPECT_EQ(fs::last_write_time(site_ / name), fs::last_write_time(local_.Path() / name)) << name;
    }
  }
  if (server != Server::Scripted) return;
  const std::vector<std::string> log = static_cast<test::FtpTestServer&>(*server_).CommandLog();
  if (row.deleteSent) {
    EXPECT_EQ(std::any_of(log.begin(), log.end(), [](auto& c) { return c.starts_with("DELE"); }), *row.deleteSent);
  }
  if (connections > 1 && row.counts.filesCopied > 1 && publisher_.Mode == PublishMode::Publish) {
    EXPECT_GT(std::count(log.begin(), log.end(), "USER " + server_->User()), 1) << "no extra connection";
  }
  for (const auto& [verb, count] : row.commands)
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [&](auto& c) { return c == verb || c.starts_with(verb + " "); }),
              count)
        << verb;
}

std::string AllBytes() {
  std::string bytes;
  for (int byte = 0; byte < 512; ++byte) bytes += static_cast<char>(byte);
  return bytes;
}

// A page with the declaration, what a publish makes of it with and without NoQMarks.
std::string Page() { return "<html><head>\r\n" + kDeclaration + "\r\n</head>" + kCp1251; }
std::string Recoded(char lacking) {
  return "<html><head>\r\n\r\n</head>\xF0\xD2\xC9\xD7\xC5\xD4" + std::string(1, lacking) + "!";
}

const std::string kLostModes =
    "The server refused SITE CHMOD: replaced pages get the server's default permissions, not those they had; set "
    "them again where it matters.";
const std::string kCutReply = "426 Data connection cut by the test server; transfer aborted.";

// One row a case, compact, so that the table reads as one.
// clang-format off
// a.htm is new; b.htm replaces an older copy on the server.
void NewPageAndOneReplacingAnOlderCopy(PublishTest& fixture) {
  fixture.Local("a.htm", "a");
  fixture.Local("b.htm", "new b");
  fixture.Remote("b.htm", "published", kLocalTime - 100);
}

// Two pages saved now and published once: the row's run is the second.
void PublishTwoPagesSavedThisMinute(PublishTest& fixture) {
  const std::int64_t saved = std::time(nullptr);
  for (const char* name : {"a.htm", "b.htm"}) {
    fixture.Local(name, name);
    SetTime(fixture.local_.Path() / name, fixture.localTimes_[name] = saved);
  }
  fixture.publisher_.Run();
  fixture.recorder_ = {};
}

// Enough uploads on one connection for commands to go out together.
void FourPagesAndOneBelow(PublishTest& fixture) {
  for (const char* name : {"a.htm", "b.htm", "c.htm", "e.htm", "sub/f.htm"}) fixture.Local(name, "x");
}
const std::vector<std::string> kFourPagesAndOneBelowLines = {"Copying: a.htm", "Copying: b.htm", "Copying: c.htm",
                                                             "Copying: e.htm", "Copying: sub/f.htm"};
const TreeSnapshot kFourPagesAndOneBelowSite = {{"a.htm", "x"}, {"b.htm", "x"}, {"c.htm", "x"},
                                                {"e.htm", "x"}, {"sub/", ""},    {"sub/f.htm", "x"}};

void TenPages(PublishTest& fixture) {
  for (char name = 'a'; name <= 'j'; ++name) fixture.Local(std::string(1, name) + ".htm", "x");
}
const std::vector<std::string> kTenPagesLines = {"Copying: a.htm", "Copying: b.htm", "Copying: c.htm", "Copying: d.htm",
                                                 "Copying: e.htm", "Copying: f.htm", "Copying: g.htm", "Copying: h.htm",
                                                 "Copying: i.htm", "Copying: j.htm"};
const TreeSnapshot kTenPagesSite = {{"a.htm", "x"}, {"b.htm", "x"}, {"c.htm", "x"}, {"d.htm", "x"}, {"e.htm", "x"},
                                    {"f.htm", "x"}, {"g.htm", "x"}, {"h.htm", "x"}, {"i.htm", "x"}, {"j.htm", "x"}};
// A small tree with nested new directories; the same published once before the row's run, saved this minute.
const TreeSnapshot kNestedSite = {{"a.htm", "a.htm"}, {"b.htm", "b.htm"}, {"c.htm", "c.htm"}, {"d/", ""},
                                  {"d/e.htm", "d/e.htm"}, {"d/f/", ""}, {"d/f/g.htm", "d/f/g.htm"}};
void NestedTree(PublishTest& fixture) {
  for (const auto& [name, bytes] : kNestedSite) if (!name.ends_with('/')) fixture.Local(name, bytes);
}
void NestedTreePublishedOnce(PublishTest& fixture) {
  NestedTree(fixture);
  for (const auto& [name, bytes] : kNestedSite)
    if (!name.ends_with('/')) SetTime(fixture.local_.Path() / name, fixture.localTimes_[name] = std::time(nullptr));
  fixture.publisher_.Run();
  fixture.recorder_ = {};
}

const PublishCase kRows[] = {
    {"NestedNewDirectoriesArriveWhole", false, {}, NestedTree,
     {"Copying: a.htm", "Copying: b.htm", "Copying: c.htm", "Copying: d/e.htm", "Copying: d/f/g.htm"},
     kNestedSite, {.filesCopied = 5, .bytesCopied = 31}, false, {}, {}, false, true},
    {"UnchangedRepublishSkipsEverything", false, {}, NestedTreePublishedOnce,
     {"Skipping: a.htm", "Skipping: b.htm", "Skipping: c.htm", "Skipping: d/e.htm", "Skipping: d/f/g.htm"},
     kNestedSite, {.filesSkipped = 5}, false, {}, {}, false, true},
    {"OlderRemotePageIsReplacedAndANewOneAdded", false, {}, NewPageAndOneReplacingAnOlderCopy,
     {"Copying: a.htm", "Copying: b.htm"},
     {{"a.htm", "a"}, {"b.htm", "new b"}},
     {.filesCopied = 2, .bytesCopied = 6}, false, {}, {}, false, true},
    {"EntriesGoInByteOrderAndOnlyUnderscoreDirectoriesAreLeftOut", false, {},
     [](PublishTest& fixture) {
       for (const char* name : {"a", "B", "_x.htm", "d/e.bin", "Z/z", "_c/y.htm"}) fixture.Local(name, name);
       fixture.Local("d/e.bin", AllBytes());
     },
     {"Copying: B", "Copying: _x.htm", "Copying: a", "Copying: Z/z", "Copying: d/e.bin"},
     {{"B", "B"}, {"Z/", ""}, {"Z/z", "Z/z"}, {"_x.htm", "_x.htm"}, {"a", "a"}, {"d/", ""}, {"d/e.bin", AllBytes()}},
     {.filesCopied = 5, .bytesCopied = 1 + 3 + 6 + 1 + 512}},
    {"WithoutRecurseOnlyTheTopLevelGoes", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.Recurse = 0;
       fixture.Local("a.htm", "a");
       fixture.Local("d/b.htm", "b");
     },
     {"Copying: a.htm"},
     {{"a.htm", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"EqualRemoteTimeSkipsAndOlderCopiesOverMlsd", false, {},
     [](PublishTest& fixture) {
       for (const char* name : {"fresh.htm", "older.htm", "same.htm", "sized.htm"}) fixture.Local(name, "new");
       fixture.Remote("older.htm", "old", kLocalTime - 1);
       fixture.Remote("same.htm", "old", kLocalTime);
       fixture.Remote("sized.htm", "older", kLocalTime);  // not older, but not what would be sent
       fixture.Remote(".gone.htm.ostrel-upload", "left by a killed run", kLocalTime - 3600);
     },
     {"Copying: fresh.htm", "Copying: older.htm", "Skipping: same.htm", "Copying: sized.htm"},
     {{"fresh.htm", "new"}, {"older.htm", "new"}, {"same.htm", "old"}, {"sized.htm", "new"}},
     {.filesCopied = 3, .filesSkipped = 1, .bytesCopied = 9}, true},
    // Less than an hour old, a temporary copy may be the upload in progress of a run on another machine.
    {"YoungTemporaryCopiesAreAnotherRunsAndStay", false, {},
     [](PublishTest& fixture) {
       fixture.Local("a.htm", "new");
       fixture.Remote(".b.htm.ostrel-upload", "under way", std::time(nullptr));
       fixture.Remote(".c.htm.ostrel-upload", "under way for 50 minutes", std::time(nullptr) - 3000);
     },
     {"Copying: a.htm"},
     {{"a.htm", "new"}, {".b.htm.ostrel-upload", "under way"}, {".c.htm.ostrel-upload", "under way for 50 minutes"}},
     {.filesCopied = 1, .bytesCopied = 3}},
    {"EqualRemoteTimeSkipsAndOlderCopiesOverListWithDotFiles", true, {},
     [](PublishTest& fixture) {
       for (const char* name : {".htaccess", "older.htm", "same.htm", "d/e.htm"}) fixture.Local(name, "new");
       fixture.Remote(".htaccess", "old", kLocalTime);
       fixture.Remote("older.htm", "old", kLocalTime - 60);
       fixture.Remote("same.htm", "old", kLocalTime);
       fixture.Remote(".gone.htm.ostrel-upload", "left by a killed run", kLocalTime - 3600);
       fixture.Remote(".young.htm.ostrel-upload", "under way", std::time(nullptr));
     },
     {"Skipping: .htaccess", "Copying: older.htm", "Skipping: same.htm", "Copying: d/e.htm"},
     {{".htaccess", "old"}, {"older.htm", "new"}, {"same.htm", "old"}, {"d/", ""}, {"d/e.htm", "new"},
      {".young.htm.ostrel-upload", "under way"}},
     {.filesCopied = 2, .filesSkipped = 2, .bytesCopied = 6}},
    {"DryRunChangesNothingAndCountsWhatItWouldCopy", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.Mode = PublishMode::DryRun;
       fixture.Local("a.htm", "aaa");
       fixture.Local("d/b.htm", "bb");
       fixture.Local("same.htm", "new");
       fixture.Remote("same.htm", "old", kLocalTime);
     },
     {"Would copy: a.htm", "Skipping: same.htm", "Would copy: d/b.htm"},
     {{"same.htm", "old"}},
     {.filesCopied = 2, .filesSkipped = 1, .bytesWouldCopy = 5}},
    {"RecodedPageLosesItsDeclarationAndLackingBytesBecomeSpaces", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.Xcode = 1;
       fixture.Local("page.htm", Page());
       fixture.Local("raw.gif", kCp1251);
     },
     {"Copying: page.htm", "Copying: raw.gif"},
     {{"page.htm", Recoded(' ')}, {"raw.gif", kCp1251}},
     {.filesCopied = 2, .bytesCopied = static_cast<std::int64_t>(Page().size() + kCp1251.size())}},
    {"WithQuestionMarksLackingBytesBecomeQuestionMarks", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.Xcode = 1;
       fixture.publisher_.NoQMarks = 0;
       fixture.Local("page.htm", Page());
     },
     {"Copying: page.htm"},
     {{"page.htm", Recoded('?')}},
     {.filesCopied = 1, .bytesCopied = static_cast<std::int64_t>(Page().size())}},
    {"RefusedPutShowsTheReplyAndLeavesThePageAsItWas", false, {"--answer", "STOR .b.htm.ostrel-upload=553 Upload refused by the test server.", "--answer", "STOR b.htm=553 Upload refused by the test server."},
     [](PublishTest& fixture) {
       fixture.publisher_.Xcode = 1;
       fixture.Local("docs/b.htm", "new b");
       fixture.Local("docs/c.htm", "c");
       fixture.Local("more/y.htm", "y");
       fixture.Remote("docs/b.htm", "published before", kLocalTime - 100);
     },
     {"Copying: docs/b.htm", "box: Cannot copy file docs/b.htm\n553 Upload refused by the test server.", "Copying: docs/c.htm", "Copying: more/y.htm"},
     {{"docs/", ""}, {"docs/b.htm", "published before"}, {"docs/c.htm", "c"}, {"more/", ""}, {"more/y.htm", "y"}},
     {.filesCopied = 2, .filesFailed = 1, .bytesCopied = 2}, true},
    {"UnreadableRecodedFileFailsAloneWithTheFileError", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.Xcode = 1;
       fixture.Local("a/locked.htm", "l");
       fixture.Local("a/ok.htm", "ok");
       fixture.Local("a/sub/x.htm", "x");
       ::chmod((fixture.local_.Path() / "a" / "locked.htm").c_str(), 0);
       fixture.permissionChecks_.emplace();
     },
     {"Copying: a/locked.htm", "box: Cannot copy file a/locked.htm\nAccess to a/locked.htm was denied.", "Copying: a/ok.htm", "Copying: a/sub/x.htm"},
     {{"a/", ""}, {"a/ok.htm", "ok"}, {"a/sub/", ""}, {"a/sub/x.htm", "x"}},
     {.filesCopied = 2, .filesFailed = 1, .bytesCopied = 3}},
    {"DataCutMidPutRemovesTheCopyOnTheSameConnection", false, {"--cut-data-during-stor", "65536"},
     [](PublishTest& fixture) { fixture.Local("big.bin", std::string(1 << 20, 'b')); },
     {"Copying: big.bin", "box: Cannot copy file big.bin\n" + kCutReply},
     {},
     {.filesFailed = 1}, true},
    {"ServerTakingNoMoreDataEndsThePutAfterTheDataTimeout", false, {"--stall-stor"},
     [](PublishTest& fixture) {
       fixture.publisher_.Timeouts.reply = fixture.publisher_.Timeouts.data = std::chrono::milliseconds(500);
       fixture.Local("big.bin", std::string(8 << 20, 'b'));  // more than the socket buffers hold
     },
     {"Copying: big.bin", "box: Cannot copy file big.bin\nThe server took no data for 500 ms."},
     {{".big.bin.ostrel-upload", ""}},
     {.filesFailed = 1}, false, {{"STOR", 4}}},  // the first, then one on each of three new logons
    {"ConnectionResetMidPutIsMadeAgainAndThePutRepeatedWhole", false, {"--close-control-during-stor", "65536"},
     [](PublishTest& fixture) { fixture.Local("big.bin", std::string(1 << 20, 'b')); },
     {"Copying: big.bin"},
     {{"big.bin", std::string(1 << 20, 'b')}},
     {.filesCopied = 1, .bytesCopied = 1 << 20}, false, {{"USER", 2}}},
    {"SilentServerIsTriedOnThreeNewLogonsThenTheRunEndsWithOneMessage", false, {"--silent-on", "STOR"},
     [](PublishTest& fixture) {
       fixture.publisher_.Timeouts.reply = fixture.publisher_.Timeouts.data = std::chrono::milliseconds(500);
       fixture.Local("docs/b.htm", "b");
     },
     {"Copying: docs/b.htm", "box: Cannot copy file docs/b.htm\nThe server did not answer within 500 ms."},
     {{"docs/", ""}},
     {.filesFailed = 1}, false, {{"USER", 4}}},  // three new logons, then one message
    {"BackslashesInTheRemoteDirectoryAreSentAsSlashes", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.RemoteDir = "\\site\\";
       fixture.Local("docs/a.htm", "a");
     },
     {"Copying: docs/a.htm"},
     {{"docs/", ""}, {"docs/a.htm", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"StopRequestFinishesTheCurrentFileAndCopiesNothingAfterIt", false, {},
     [](PublishTest& fixture) {
       for (const char* name : {"a", "b", "c", "d/e"}) fixture.Local(name, name);
       // Status lines: logging on, processing, a, b.
       fixture.recorder_.onStatus = [&fixture](int number, const std::string&) {
         if (number == 4) fixture.publisher_.Running = 0;
       };
     },
     {"Copying: a", "Copying: b"},
     {{"a", "a"}, {"b", "b"}},
     {.filesCopied = 2, .bytesCopied = 2}, false, {{"STOR", 2}}},
    {"LinksAreFollowedAndALinkCycleIsWalkedOnce", false, {},
     [](PublishTest& fixture) {
       fixture.Local("d/a.htm", "a");
       fs::create_directory_symlink(fixture.local_.Path(), fixture.local_.Path() / "d" / "loop");
       fs::create_symlink(fixture.local_.Path() / "d" / "a.htm", fixture.local_.Path() / "alias.htm");
     },
     {"Copying: alias.htm", "Copying: d/a.htm"},
     {{"alias.htm", "a"}, {"d/", ""}, {"d/a.htm", "a"}},
     {.filesCopied = 2, .bytesCopied = 2}},
    {"UnreadableLocalDirectoryIsLeftOutSilently", false, {},
     [](PublishTest& fixture) {
       fixture.Local("closed/secret.htm", "s");
       fixture.Local("open/page.htm", "p");
       ::chmod((fixture.local_.Path() / "closed").c_str(), 0);
       fixture.permissionChecks_.emplace();
     },
     {"Copying: open/page.htm"},
     {{"closed/", ""}, {"open/", ""}, {"open/page.htm", "p"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"RefusedLogonShowsTheServersReply", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.Password = "wrong";
       fixture.Local("a.htm", "a");
     },
     {"box: 530 Authentication failed."},
     {},
     {}},
    {"WithoutRenameUploadsGoInPlaceAndACutCopyIsDeleted", false, {"--answer", "RNFR=502 Not implemented.", "--answer", "STOR b.htm=425 Can't open data connection.", "--truncate-refused-stor"},
     NewPageAndOneReplacingAnOlderCopy,
     {"Copying: a.htm", "Copying: b.htm", "box: Cannot copy file b.htm\n425 Can't open data connection."},
     {{"a.htm", "a"}},
     {.filesCopied = 1, .filesFailed = 1, .bytesCopied = 1}, true},
    {"InPlaceUploadThatNeverStartedLeavesThePage", false, {"--answer", "RNFR=502 Not implemented.", "--answer", "STOR b.htm=150 Opening.|425 Can't open data connection."},
     [](PublishTest& fixture) {
       fixture.Local("a.htm", "a");
       fixture.Local("b.htm", "new b, longer than the page");
       fixture.Remote("b.htm", "published", kLocalTime - 100);
     },
     {"Copying: a.htm", "Copying: b.htm", "box: Cannot copy file b.htm\n425 Can't open data connection."},
     {{"a.htm", "a"}, {"b.htm", "published"}},
     {.filesCopied = 1, .filesFailed = 1, .bytesCopied = 1}, false, {{"STOR", 2}, {"RNFR", 1}}},
    {"RefusedRenameNeverDeletesThePageAndPagesGoInPlace", false, {"--answer", "RNTO=553 Rename refused by the test server."},
     NewPageAndOneReplacingAnOlderCopy,
     {"Copying: a.htm", "Copying: b.htm"},
     {{"a.htm", "a"}, {"b.htm", "new b"}},
     {.filesCopied = 2, .bytesCopied = 6}, true},
    // Without MFMT, MDTM sets the time: a page saved in the minute it went up
    // is not sent again by the next run, which LIST shows only to the minute.
    {"VsftpdStampsUploadsSoARerunInTheSameMinuteSkips", true, {}, PublishTwoPagesSavedThisMinute,
     {"Skipping: a.htm", "Skipping: b.htm"},
     {{"a.htm", "a.htm"}, {"b.htm", "b.htm"}},
     {.filesSkipped = 2}},
    {"VsftpdInItsOwnZoneStampsUploadsSoARerunInTheSameMinuteSkips", true, {"use_localtime=YES"},
     PublishTwoPagesSavedThisMinute,
     {"Skipping: a.htm", "Skipping: b.htm"},
     {{"a.htm", "a.htm"}, {"b.htm", "b.htm"}},
     {.filesSkipped = 2}},
    {"VsftpdDenyingRenamesGetsThePagesInPlace", true, {"cmds_denied=RNFR,RNTO"},
     NewPageAndOneReplacingAnOlderCopy,
     {"Copying: a.htm", "Copying: b.htm"},
     {{"a.htm", "a"}, {"b.htm", "new b"}},
     {.filesCopied = 2, .bytesCopied = 6}},
    {"VsftpdRefusingDotNamesGetsThePagesInPlace", true, {"deny_file={.*}"},
     NewPageAndOneReplacingAnOlderCopy,
     {"Copying: a.htm", "Copying: b.htm"},
     {{"a.htm", "a"}, {"b.htm", "new b"}},
     {.filesCopied = 2, .bytesCopied = 6}},
    // The temporary name of a 250-byte name is past the file system's 255.
    {"ANameNearTheLengthLimitGoesInPlace", false, {},
     [](PublishTest& fixture) {
       fixture.Local(std::string(246, 'n') + ".htm", "new");
       fixture.Remote(std::string(246, 'n') + ".htm", "published", kLocalTime - 100);
       fixture.Local("z.htm", "z");
     },
     {"Copying: " + std::string(246, 'n') + ".htm", "Copying: z.htm"},
     {{std::string(246, 'n') + ".htm", "new"}, {"z.htm", "z"}},
     {.filesCopied = 2, .bytesCopied = 4}, true},
    {"NameWithALineBreakFailsAloneAndIsShownEscaped", false, {},
     [](PublishTest& fixture) {
       fixture.Local("a\nb", "x");
       fixture.Local("c", "c");
     },
     {"Copying: a\nb", "box: Cannot copy file a\\nb\nThe name \"*", "Copying: c"},
     {{"c", "c"}},
     {.filesCopied = 1, .filesFailed = 1, .bytesCopied = 1}},
    {"LocalFileNamedLikeATemporaryCopyGoesUpBesideItsPage", false, {},
     [](PublishTest& fixture) {
       fixture.Local(".page.htm.ostrel-upload", "named like a copy");
       fixture.Local("page.htm", "page");
     },
     {"Copying: .page.htm.ostrel-upload", "Copying: page.htm"},
     {{".page.htm.ostrel-upload", "named like a copy"}, {"page.htm", "page"}},
     {.filesCopied = 2, .bytesCopied = 21}},
    {"RenameWhoseReplyWasLostIsFoundDoneAfterANewLogon", false, {"--lose-reply", "RNTO"},
     [](PublishTest& fixture) {
       fixture.Local("a.htm", "new a");
       fixture.Remote("a.htm", "published", kLocalTime - 100);
     },
     {"Copying: a.htm"},
     {{"a.htm", "new a"}},
     {.filesCopied = 1, .bytesCopied = 5}, false, {{"USER", 2}, {"STOR", 1}}},
    {"DirectoryWhoseMkdReplyWasLostIsEnteredAfterANewLogon", false, {"--lose-reply", "MKD"},
     [](PublishTest& fixture) { for (const char* name : {"d/a", "d/b", "e"}) fixture.Local(name, name); },
     {"Copying: e", "Copying: d/a", "Copying: d/b"},
     {{"d/", ""}, {"d/a", "d/a"}, {"d/b", "d/b"}, {"e", "e"}},
     {.filesCopied = 3, .bytesCopied = 7}},
    {"OneFiftyThen425FailsAtOnceAndLeavesThePage", false, {"--answer", "STOR .b.htm.ostrel-upload=150 Opening.|425 Can't open data connection."},
     [](PublishTest& fixture) {
       fixture.publisher_.Passive = 0;
       fixture.Local("b.htm", "new b");
       fixture.Remote("b.htm", "published", kLocalTime - 100);
     },
     {"Copying: b.htm", "box: Cannot copy file b.htm\n425 Can't open data connection."},
     {{"b.htm", "published"}},
     {.filesFailed = 1}, true, {{"EPRT", 2}}},  // the listing, the upload
    {"LateConfirmationIsAwaitedAndThePageReplaced", false, {"--late-final-reply", "1.0"},
     [](PublishTest& fixture) {
       fixture.publisher_.Timeouts.reply = std::chrono::milliseconds(300);
       fixture.publisher_.Timeouts.finalReply = std::chrono::seconds(3);
       fixture.Local("a.htm", "a");
     },
     {"Copying: a.htm"},
     {{"a.htm", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"FileRemovedBeforeItsUploadIsPassedOverSilently", false, {},
     [](PublishTest& fixture) {
       for (const char* name : {"a", "b", "c"}) fixture.Local(name, name);
       fixture.recorder_.onStatus = [&fixture](int, const std::string& status) {
         if (status.ends_with("/a")) fs::remove(fixture.local_.Path() / "b");
       };
     },
     {"Copying: a", "Copying: c"},
     {{"a", "a"}, {"c", "c"}},
     {.filesCopied = 2, .bytesCopied = 2}, false, {{"STOR", 2}}},
    // 01:50 daylight time, then 01:10 standard time, twenty minutes later, in the tests' zone.
    // As vsftpd with Debian's own use_localtime=YES: LIST and MDTM both in the server's zone.
    {"ServerAnsweringMdtmInLocalTimeTooIsReadThroughItsOffset", false, {"--local-times", "--local-mdtm"},
     [](PublishTest& fixture) {
       for (const char* name : {"older.htm", "same.htm"}) fixture.Local(name, "new");
       fixture.Remote("older.htm", "old", kLocalTime - 60);
       fixture.Remote("same.htm", "old", kLocalTime);
     },
     {"Copying: older.htm", "Skipping: same.htm"},
     {{"older.htm", "new"}, {"same.htm", "old"}},
     {.filesCopied = 1, .filesSkipped = 1, .bytesCopied = 3}, true},
    {"EditInTheHourRepeatedWhenDaylightSavingEndsIsCopied", false, {},
     [](PublishTest& fixture) {
       fixture.Local("a.htm", "new");
       fixture.localTimes_["a.htm"] = 1793508000;  // 2026-11-01 04:40 UTC
       fixture.Remote("a.htm", "old", 1793506800);  // 04:20 UTC
     },
     {"Copying: a.htm"},
     {{"a.htm", "new"}},
     {.filesCopied = 1, .bytesCopied = 3}},
    {"ListingInTheServersLocalTimeIsReadThroughItsOffset", false, {"--local-times"},
     [](PublishTest& fixture) {
       for (const char* name : {"older.htm", "same.htm"}) fixture.Local(name, "new");
       fixture.Remote("older.htm", "old", kLocalTime - 60);
       fixture.Remote("same.htm", "old", kLocalTime);
     },
     {"Copying: older.htm", "Skipping: same.htm"},
     {{"older.htm", "new"}, {"same.htm", "old"}},
     {.filesCopied = 1, .filesSkipped = 1, .bytesCopied = 3}, true},
    {"FilesMissingFromAListingCutShortAreAskedFor", false, {"--list-limit", "1"},
     [](PublishTest& fixture) {
       for (const char* name : {"a.htm", "b.htm"}) {
         fixture.Local(name, "new");
         fixture.Remote(name, "old", kLocalTime);
       }
     },
     {"The server cut the listing of /site/ short: files missing from it are asked for one by one.", "Skipping: a.htm", "Skipping: b.htm"},
     {{"a.htm", "old"}, {"b.htm", "old"}},
     {.filesSkipped = 2}},
    {"FailedListingIsSaidOnceAndItsFilesCopied", false, {"--answer", "MLSD=451 Listing failed in the test server."},
     [](PublishTest& fixture) {
       for (const char* name : {"a.htm", "d/b.htm"}) {
         fixture.Local(name, "new");
         fixture.Remote(name, "old", kLocalTime);
       }
     },
     {"The server did not list /site/: every file there is copied.", "Copying: a.htm", "Copying: d/b.htm"},
     {{"a.htm", "new"}, {"d/", ""}, {"d/b.htm", "new"}},
     {.filesCopied = 2, .bytesCopied = 6}},
    {"RefusedActiveModeSwitchesToPassiveOncePerRun", false, {"--answer", "EPRT=500 No.", "--answer", "PORT=500 No."},
     [](PublishTest& fixture) {
       fixture.publisher_.Passive = 0;
       for (const char* name : {"a", "d/b", "d/e/c"}) fixture.Local(name, name);
     },
     {"Copying: a", "Copying: d/b", "Copying: d/e/c"},
     {{"a", "a"}, {"d/", ""}, {"d/b", "d/b"}, {"d/e/", ""}, {"d/e/c", "d/e/c"}},
     {.filesCopied = 3, .bytesCopied = 9}, false, {{"EPRT", 1}, {"PORT", 1}}},
    {"ServerThatCannotConnectBackCostsOneBoundedWaitPerRun", false, {"--never-connect-back", "2"},
     [](PublishTest& fixture) {
       fixture.publisher_.Passive = 0;
       fixture.publisher_.Timeouts.dataConnect = std::chrono::milliseconds(300);
       for (const char* name : {"a", "b", "c", "d/e"}) fixture.Local(name, name);
     },
     {"Copying: a", "Copying: b", "Copying: c", "Copying: d/e"},
     {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d/", ""}, {"d/e", "d/e"}},
     {.filesCopied = 4, .bytesCopied = 6}, false, {{"EPRT", 1}, {"USER", 2}}},
    {"RefusedPassiveModeSwitchesToActive", false, {"--answer", "EPSV=500 No.", "--answer", "PASV=500 No."},
     [](PublishTest& fixture) {
       for (const char* name : {"a", "d/b"}) fixture.Local(name, name);
     },
     {"Copying: a", "Copying: d/b"},
     {{"a", "a"}, {"d/", ""}, {"d/b", "d/b"}},
     {.filesCopied = 2, .bytesCopied = 4}, false, {{"EPSV", 1}, {"PASV", 1}}},
    {"PasvReplyNamingAnotherAddressIsIgnored", false, {"--answer", "EPSV=500 No.", "--masquerade", "127.0.0.2"},
     [](PublishTest& fixture) {
       fixture.Local("a", "a");
     },
     {"Copying: a"},
     {{"a", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}, false, {{"EPRT", 0}, {"PASV", 2}}},
    {"VsftpdWithoutActiveModeIsPublishedPassive", true, {"port_enable=NO"},
     [](PublishTest& fixture) {
       fixture.publisher_.Passive = 0;
       fixture.Local("d/a", "a");
     },
     {"Copying: d/a"},
     {{"d/", ""}, {"d/a", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"VsftpdWithoutPassiveModeIsPublishedActive", true, {"pasv_enable=NO"},
     [](PublishTest& fixture) {
       fixture.Local("d/a", "a");
     },
     {"Copying: d/a"},
     {{"d/", ""}, {"d/a", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"ServerClosingWith421IsLoggedOnAgain", false, {"--close-after", "10"},  // the 10th command is the STOR
     [](PublishTest& fixture) { fixture.Local("a.htm", "a"); },
     {"Copying: a.htm"},
     {{"a.htm", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}, false, {{"USER", 2}}},
    {"LogonRefusedAfterA421EndsTheRunWithOneMessage", false, {"--close-after", "10", "--logons", "1"},
     [](PublishTest& fixture) { fixture.Local("a.htm", "a"), fixture.Local("b.htm", "b"); },
     {"Copying: a.htm", "box: Cannot copy file a.htm\n530 No more logons."},
     {},
     {.filesFailed = 1}, false, {{"USER", 2}}},
    {"ServerAllowingTwoLogonsStillGetsEverything", false, {"--logons", "2"},
     [](PublishTest& fixture) { for (const char* name : {"a", "b", "c", "d/e", "d/f/g"}) fixture.Local(name, name); },
     {"Copying: a", "Copying: b", "Copying: c", "Copying: d/e", "Copying: d/f/g"},
     {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d/", ""}, {"d/e", "d/e"}, {"d/f/", ""}, {"d/f/g", "d/f/g"}},
     {.filesCopied = 5, .bytesCopied = 11}},
    {"OnlyTheServersOwnDataConnectionIsAccepted", false, {"--intruder"},
     [](PublishTest& fixture) { fixture.Local("a.htm", "a"); },
     {"Copying: a.htm"},  // not skipped for the intruder's forged listing, nor sent to it
     {{"a.htm", "a"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    {"ReplacedPagesKeepTheirPermissionsAlsoWhenEveryFileIsCopied", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.UpdateOnly = 0;  // listed for the permissions only: nothing is skipped
       for (const char* name : {"run.cgi", "d/page.htm", "new.htm"}) fixture.Local(name, "new");
       fixture.Remote("run.cgi", "old", kLocalTime, 0755);
       fixture.Remote("d/page.htm", "old", kLocalTime - 60, 0640);
     },
     {"Copying: new.htm", "Copying: run.cgi", "Copying: d/page.htm"},
     {{"d/", ""}, {"d/page.htm", "new"}, {"new.htm", "new"}, {"run.cgi", "new"}},
     {.filesCopied = 3, .bytesCopied = 9}, false, {}, {{"run.cgi", 0755}, {"d/page.htm", 0640}}},
    {"ReplacedPagesKeepTheirPermissionsOverList", false, {"--local-times"},
     [](PublishTest& fixture) {
       for (const char* name : {"run.cgi", "d/page.htm"}) fixture.Local(name, "new");
       fixture.Remote("run.cgi", "old", kLocalTime - 60, 0755);
       fixture.Remote("d/page.htm", "old", kLocalTime - 60, 0640);
     },
     {"Copying: run.cgi", "Copying: d/page.htm"},
     {{"d/", ""}, {"d/page.htm", "new"}, {"run.cgi", "new"}},
     {.filesCopied = 2, .bytesCopied = 6}, true, {}, {{"run.cgi", 0755}, {"d/page.htm", 0640}}},
    {"RefusedChmodStillReplacesThePagesAndIsSaidOnce", false, {"--answer", "SITE=550 Not enough privileges."},
     [](PublishTest& fixture) {
       for (const char* name : {"a.htm", "b.cgi", "c.htm", "d.htm"}) fixture.Local(name, "new");
       fixture.Remote("b.cgi", "old", kLocalTime - 60, 0755);
       fixture.Remote("c.htm", "old", kLocalTime - 60, 0640);
       fixture.Remote("d.htm", "old", kLocalTime - 60);
     },
     {"Copying: a.htm", "Copying: b.cgi", kLostModes, "Copying: c.htm", "Copying: d.htm"},
     {{"a.htm", "new"}, {"b.cgi", "new"}, {"c.htm", "new"}, {"d.htm", "new"}},
     {.filesCopied = 4, .bytesCopied = 12}, false, {{"SITE CHMOD", 3}}},  // none for the new file
    // Batches go out in one write; a server that refuses a command behind another gets one at a time.
    {"ServerRefusingATransferCommandSentTogetherGetsOneAtATime", false, {"--refuse-together", "STOR"},
     FourPagesAndOneBelow, kFourPagesAndOneBelowLines, kFourPagesAndOneBelowSite, {.filesCopied = 5, .bytesCopied = 5}},
    {"ServerLosingATransferCommandSentTogetherGetsOneAtATimeAfterANewLogon", false, {"--lose-together", "STOR"},
     [](PublishTest& fixture) {
       fixture.publisher_.Timeouts.reply = std::chrono::milliseconds(500);
       FourPagesAndOneBelow(fixture);
     },
     kFourPagesAndOneBelowLines, kFourPagesAndOneBelowSite, {.filesCopied = 5, .bytesCopied = 5}, false,
     {{"USER", 2}, {"STOR", 6}}},  // the lost one, then each alone
    {"ServerRefusingARenameSentTogetherGetsOneAtATime", false, {"--refuse-together", "RNFR"},
     FourPagesAndOneBelow, kFourPagesAndOneBelowLines, kFourPagesAndOneBelowSite, {.filesCopied = 5, .bytesCopied = 5}},
    {"ServerRefusingAListingSentTogetherGetsOneAtATime", false, {"--refuse-together", "MLSD"},
     [](PublishTest& fixture) {
       FourPagesAndOneBelow(fixture);
       fixture.Remote("sub/f.htm", "x", kLocalTime);  // only its listing tells that it is there already
     },
     {"Copying: a.htm", "Copying: b.htm", "Copying: c.htm", "Copying: e.htm", "Skipping: sub/f.htm"},
     kFourPagesAndOneBelowSite, {.filesCopied = 4, .filesSkipped = 1, .bytesCopied = 4}},
    // An upload's rename goes out with the data port (and directory) of the next upload of its connection.
    // pyftpdlib answers 150 to the STOR behind the refused EPSV and waits: only a new logon is in step.
    {"ServerRefusingADataPortAskedWithARenameGetsItAlone", false, {"--refuse-together", "EPSV"}, TenPages,
     kTenPagesLines, kTenPagesSite, {.filesCopied = 10, .bytesCopied = 10}},
    {"DataPortAskedWithARenameButDeadIsAskedForAgain", false, {"--dead-port-after", "RNTO"}, TenPages,
     kTenPagesLines, kTenPagesSite, {.filesCopied = 10, .bytesCopied = 10}},
    {"DirectoryRefusedToAnUploadSentAheadKeepsNoCopyOfIt", false, {"--answer", "CWD /site/d/=550 No."},
     [](PublishTest& fixture) {
       TenPages(fixture);
       for (const char* name : {"d/x.htm", "d/y.htm"}) fixture.Local(name, "x");
     },
     {"Copying: a.htm", "Copying: b.htm", "Copying: c.htm", "Copying: d.htm", "Copying: e.htm", "Copying: f.htm",
      "Copying: g.htm", "Copying: h.htm", "Copying: i.htm", "Copying: j.htm", "Copying: d/x.htm",
      "box: Cannot copy file d/x.htm\n550 No.", "Copying: d/y.htm", "box: Cannot copy file d/y.htm\n550 No."},
     {{"a.htm", "x"}, {"b.htm", "x"}, {"c.htm", "x"}, {"d.htm", "x"}, {"e.htm", "x"}, {"f.htm", "x"}, {"g.htm", "x"},
      {"h.htm", "x"}, {"i.htm", "x"}, {"j.htm", "x"}, {"d/", ""}},
     {.filesCopied = 10, .filesFailed = 2, .bytesCopied = 10}, std::nullopt},  // the copy sent ahead is deleted
    {"NewDirectoriesCostTheirMkdOnly", false, {},
     [](PublishTest& fixture) {
       for (const char* name : {"a.htm", "d/e.htm", "d/f/g.htm", "d/f/h.htm", "i/j.htm"}) fixture.Local(name, "x");
       fixture.Remote("old/k.htm", "x", kLocalTime);
     },
     {"Copying: a.htm", "Copying: d/e.htm", "Copying: d/f/g.htm", "Copying: d/f/h.htm", "Copying: i/j.htm"},
     {{"a.htm", "x"}, {"d/", ""}, {"d/e.htm", "x"}, {"d/f/", ""}, {"d/f/g.htm", "x"}, {"d/f/h.htm", "x"}, {"i/", ""},
      {"i/j.htm", "x"}, {"old/", ""}, {"old/k.htm", "x"}},
     {.filesCopied = 5, .bytesCopied = 5}, false, {{"MKD", 3}, {"MLSD", 1}}, {}, true},  // the site's own listing only
    {"AnonymousVsftpdRefusesChmodOverListAndTheUserIsToldOnce", true, {},
     [](PublishTest& fixture) {
       for (const char* name : {"run.cgi", "page.htm"}) fixture.Local(name, "new");
       fixture.Remote("run.cgi", "old", kLocalTime - 60, 0755);
       fixture.Remote("page.htm", "old", kLocalTime - 60, 0640);
     },
     {"Copying: page.htm", kLostModes, "Copying: run.cgi"},
     {{"page.htm", "new"}, {"run.cgi", "new"}},
     {.filesCopied = 2, .bytesCopied = 6}, false, {}, {{"run.cgi", 0644}, {"page.htm", 0644}}},
    {"RemovedFileAndRenamedDirectoryAreDeletedAfterTheUploads", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.Local("a.htm", "a");
       fixture.Local("new/p.htm", "p");
       fixture.Remote("a.htm", "a", kLocalTime);
       for (const char* name : {"gone.htm", "old/p.htm", "old/sub/q.htm"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Skipping: a.htm", "Copying: new/p.htm",
      "ask: Delete 5 remote files that are not in the local directory?\n\n/site/gone.htm\n/site/old/p.htm\n/site/old/sub/q.htm\n/site/old/sub/\n/site/old/",
      "Deleting: /site/gone.htm", "Deleting: /site/old/p.htm", "Deleting: /site/old/sub/q.htm", "Deleting: /site/old/sub/", "Deleting: /site/old/"},
     {{"a.htm", "a"}, {"new/", ""}, {"new/p.htm", "p"}},
     {.filesCopied = 1, .filesSkipped = 1, .bytesCopied = 1, .filesDeleted = 5}, true},
    // vsftpd lists dot files only when asked with "LIST -a": one inside a directory keeps the directory.
    {"RemovedFilesGoOverListAndDotFilesStayWithTheirDirectory", true, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.Local("a.htm", "a");
       for (const char* name : {"gone.htm", "old/p.htm", "old/.htaccess", ".htaccess"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Copying: a.htm", "ask: Delete 2 remote files*", "Deleting: /site/gone.htm", "Deleting: /site/old/p.htm"},
     {{".htaccess", "x"}, {"a.htm", "a"}, {"old/", ""}, {"old/.htaccess", "x"}},
     {.filesCopied = 1, .bytesCopied = 1, .filesDeleted = 2}},
    {"UnderscoreDirectoriesAndDotNamesOnTheServerAreNeverDeleted", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.Local("a.htm", "a");
       for (const char* name : {"_drafts/x.htm", ".htaccess", ".well-known/acme", "_old.htm"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Copying: a.htm", "ask: Delete 1 remote file that is not in the local directory?\n\n/site/_old.htm", "Deleting: /site/_old.htm"},
     {{".htaccess", "x"}, {".well-known/", ""}, {".well-known/acme", "x"}, {"_drafts/", ""}, {"_drafts/x.htm", "x"}, {"a.htm", "a"}},
     {.filesCopied = 1, .bytesCopied = 1, .filesDeleted = 1}, true},
    // pyftpdlib's MLSD shows a link to a directory as that directory: what it leads to must stay.
    {"LinkOnTheServerIsDeletedNeverWhatItLeadsTo", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.Local("keep/k.htm", "k");
       fixture.Remote("keep/k.htm", "k", kLocalTime);
       fs::create_directory_symlink("keep", fixture.site_ / "alias");
     },
     {"Skipping: keep/k.htm", "ask: Delete 1 remote file*", "Deleting: /site/alias"},
     {{"keep/", ""}, {"keep/k.htm", "k"}},
     {.filesSkipped = 1, .filesDeleted = 1}, true},
    {"WithoutRecurseNoRemoteDirectoryIsDeleted", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1, fixture.publisher_.Recurse = 0;
       fixture.Local("a.htm", "a");
       for (const char* name : {"gone.htm", "old/x.htm"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Copying: a.htm", "ask: Delete 1 remote file*", "Deleting: /site/gone.htm"},
     {{"a.htm", "a"}, {"old/", ""}, {"old/x.htm", "x"}},
     {.filesCopied = 1, .bytesCopied = 1, .filesDeleted = 1}, true},
    {"ExcludedFilesAreNeitherUploadedNorDeleted", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.publisher_.Exclude = "*.bak; /drafts/";
       for (const char* name : {"a.htm", "a.bak", "drafts/d.htm", "d/notes.txt"}) fixture.Local(name, "new");
       fixture.Local(".ostrelignore", "notes.txt\n");
       for (const char* name : {"a.bak", "old.bak", "drafts/x.htm", "d/notes.txt"}) fixture.Remote(name, "old", kLocalTime);
     },
     {"Copying: a.htm"},
     {{"a.bak", "old"}, {"a.htm", "new"}, {"d/", ""}, {"d/notes.txt", "old"}, {"drafts/", ""}, {"drafts/x.htm", "old"}, {"old.bak", "old"}},
     {.filesCopied = 1, .bytesCopied = 3}},
    {"RefusedDeletionIsReportedItsDirectoryStaysAndTheRestGoOn", false, {"--answer", "DELE x.htm=550 Not enough privileges."},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.Local("a.htm", "a");
       for (const char* name : {"gone.htm", "old/x.htm", "z.htm"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Copying: a.htm", "ask: Delete 4 remote files*", "Deleting: /site/gone.htm", "Deleting: /site/old/x.htm",
      "box: Cannot delete remote file /site/old/x.htm\n550 Not enough privileges.", "Deleting: /site/z.htm"},
     {{"a.htm", "a"}, {"old/", ""}, {"old/x.htm", "x"}},
     {.filesCopied = 1, .bytesCopied = 1, .filesDeleted = 2, .deletionsRefused = 1}, true},
    {"DryRunWithDeleteChangesNothingAndShowsWhatWouldGo", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       fixture.publisher_.Mode = PublishMode::DryRun;
       fixture.Local("a.htm", "a");
       for (const char* name : {"gone.htm", "old/x.htm"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Would copy: a.htm", "Would delete: /site/gone.htm", "Would delete: /site/old/x.htm", "Would delete: /site/old/"},
     {{"gone.htm", "x"}, {"old/", ""}, {"old/x.htm", "x"}},
     {.filesCopied = 1, .bytesWouldCopy = 1, .filesDeleted = 3}},
    {"MoreToDeleteThanMaxDeleteDeletesNone", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1, fixture.publisher_.MaxDelete = 2;
       fixture.Local("a.htm", "a");
       for (const char* name : {"x", "y", "z"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"Copying: a.htm", "box: 3 remote files are not in the local directory, more than MaxDelete allows (2): none was deleted."},
     {{"a.htm", "a"}, {"x", "x"}, {"y", "x"}, {"z", "x"}},
     {.filesCopied = 1, .bytesCopied = 1}},
    // As a local disk that is not mounted looks.
    {"EmptyLocalDirectoryDeletesNothing", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       for (const char* name : {"a.htm", "d/b.htm"}) fixture.Remote(name, "x", kLocalTime);
     },
     {"box: The local directory *"},
     {{"a.htm", "x"}, {"d/", ""}, {"d/b.htm", "x"}},
     {}},
    {"FailedUploadMeansNoDeletion", false, {"--answer", "STOR .b.htm.ostrel-upload=553 Upload refused by the test server.", "--answer", "STOR b.htm=553 Upload refused by the test server."},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       for (const char* name : {"a.htm", "b.htm"}) fixture.Local(name, "new");
       fixture.Remote("gone.htm", "x", kLocalTime);
     },
     {"Copying: a.htm", "Copying: b.htm", "box: Cannot copy file b.htm\n553 Upload refused by the test server.",
      "box: Nothing was deleted on the server: 1 file could not be copied, and remote files are deleted only once every file has arrived."},
     {{"a.htm", "new"}, {"gone.htm", "x"}},
     {.filesCopied = 1, .filesFailed = 1, .bytesCopied = 3}, true},  // the refused copy's
    {"ListingCutShortDeletesNothingInThatDirectoryOnly", false, {"--list-limit", "2"},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       for (const char* name : {"a.htm", "d/b.htm"}) fixture.Local(name, "new");
       for (const char* name : {"a.htm", "gone.htm", "d/gone.htm"}) fixture.Remote(name, "new", kLocalTime);
     },
     {"The server cut the listing of /site/ short: files missing from it are asked for one by one.", "Skipping: a.htm", "Copying: d/b.htm",
      "box: Nothing was deleted in /site/: the server's listing, or the local directory, could not be read whole.",
      "ask: Delete 1 remote file*", "Deleting: /site/d/gone.htm"},
     {{"a.htm", "new"}, {"d/", ""}, {"d/b.htm", "new"}, {"gone.htm", "new"}},
     {.filesCopied = 1, .filesSkipped = 1, .bytesCopied = 3, .filesDeleted = 1}, true},
    {"StopDuringTheRunDeletesNothing", false, {},
     [](PublishTest& fixture) {
       fixture.publisher_.DeleteRemote = 1;
       for (const char* name : {"a", "b", "c"}) fixture.Local(name, name);
       fixture.Remote("gone", "x", kLocalTime);
       // Status lines: logging on, processing, a, b.
       fixture.recorder_.onStatus = [&fixture](int number, const std::string&) {
         if (number == 4) fixture.publisher_.Running = 0;
       };
     },
     {"Copying: a", "Copying: b", "Nothing was deleted on the server: the run was stopped."},
     {{"a", "a"}, {"b", "b"}, {"gone", "x"}},
     {.filesCopied = 2, .bytesCopied = 2}, false, {{"STOR", 2}}},
};
// clang-format on

std::vector<std::tuple<PublishCase, int, Server>> RowsAndConnections() {
  std::vector<std::tuple<PublishCase, int, Server>> runs;
  for (const PublishCase& row : kRows) {
    const Server server = row.vsftpd ? Server::Vsftpd : Server::Scripted;
    runs.emplace_back(row, 1, server);
    if (row.commands.empty() || row.commandsOnFourToo) runs.emplace_back(row, 4, server);
    if (server == Server::Scripted && row.faults.empty() && row.commands.empty())
      runs.emplace_back(row, 0, Server::Stock);
    for (const Server packaged : {Server::Proftpd, Server::PureFtpd})
      if (row.packaged) runs.emplace_back(row, 1, packaged), runs.emplace_back(row, 4, packaged);
  }
  return runs;
}

// A stop request while several uploads run: those under way end whole, no
// other starts, and the run ends as usual.
TEST_F(PublishTest, StopDuringParallelUploadsLetsThoseUnderWayEnd) {
  Serve(Server::Scripted, {"--delay-reply", "STOR:0.5"});
  for (int file = 0; file < 12; ++file)
    Local("f" + std::to_string(file), std::string(1000 + static_cast<std::size_t>(file), 'x'));
  publisher_.Connections = 4;
  recorder_.onStatus = [this](int, const std::string& status) {
    if (status.starts_with("Copying: ")) publisher_.Running = 0;
  };
  const RunResult result = publisher_.Run();
  TreeSnapshot started;
  for (const std::string& line : recorder_.lines)
    if (line.starts_with("Copying: ")) started[fs::path(line).filename()] = test::ReadFile(line.substr(9));
  EXPECT_EQ(Snapshot(site_), started);
  EXPECT_GE(started.size(), 1u);
  EXPECT_LE(started.size(), 4u) << "one upload a connection at most";
  EXPECT_EQ(result.filesCopied, static_cast<std::int64_t>(started.size()));
  EXPECT_EQ(recorder_.lines.back(), "Finished.");
}

INSTANTIATE_TEST_SUITE_P(Rows, PublishTest, testing::ValuesIn(RowsAndConnections()), [](const auto& parameter) {
  const Server server = std::get<2>(parameter.param);
  return std::string(std::get<0>(parameter.param).name) +
         (std::array{"", "OnStockServer", "", "OnProftpd", "OnPureFtpd"})[static_cast<std::size_t>(server)] +
         (server != Server::Stock && std::get<1>(parameter.param) > 1 ? "On4" : "");
});

}  // namespace
}  // namespace ostrel
