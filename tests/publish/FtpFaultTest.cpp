// How the FTP layer copes with servers that refuse, drop, stall or answer
// late, and with names that would inject commands. The faults are injected
// by the pyftpdlib test server; its command log shows what reached it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ParameterName.h"
#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpError.h"
#include "publish/ftp/FtpFind.h"
#include "publish/ftp/FtpSession.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

using test::FtpTestServer;
using test::FtpTestServerOptions;
using test::ReadFile;
using test::TempDirectory;
using test::WriteFile;

constexpr auto kShortReply = std::chrono::milliseconds(500);

FtpTimeouts Timeouts(std::chrono::milliseconds reply = std::chrono::seconds(20),
                     std::chrono::milliseconds data = std::chrono::seconds(20)) {
  FtpTimeouts timeouts;
  timeouts.connect = std::chrono::seconds(20);
  timeouts.reply = reply;
  timeouts.data = data;
  return timeouts;
}

FtpTestServerOptions WithFaults(std::vector<std::string> faults) {
  FtpTestServerOptions options;
  options.faults = std::move(faults);
  return options;
}

// The commands a test's own operations sent: the log after the logon.
std::vector<std::string> CommandsAfterLogon(const FtpTestServer& server) {
  std::vector<std::string> log = server.CommandLog();
  const auto pass = std::find(log.begin(), log.end(), "PASS ******");
  return pass == log.end() ? log : std::vector<std::string>(pass + 1, log.end());
}

FtpError ConnectFailure(FtpSession& session, const std::string& host, const std::string& user = "tester",
                        const std::string& password = "secret") {
  try {
    session.Connect(host, user, password);
  } catch (const FtpError& error) {
    return error;
  }
  ADD_FAILURE() << "the connection to " << host << " was made";
  return FtpError(0, "");
}

TEST(FtpConnect, UnknownHostGivesTheResolversText) {
  FtpSession session("OstrelTest", Timeouts());
  const FtpError error = ConnectFailure(session, "nosuchhost.invalid");
  EXPECT_EQ(error.Code(), FtpError::kSystemError);
  EXPECT_EQ(error.Message(), "Host not found: nosuchhost.invalid");
}

TEST(FtpConnect, RefusedPortGivesTheSystemsTextWithHostAndPort) {
  // A bound socket that does not listen: nothing else can take the port meanwhile.
  const int reserved = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(reserved, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(reserved, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

  FtpSession session("OstrelTest", Timeouts());
  const FtpError error = ConnectFailure(session, host);
  close(reserved);
  EXPECT_EQ(error.Code(), FtpError::kSystemError);
  EXPECT_EQ(error.Message(), "Cannot connect to " + host + ": Connection refused");
}

TEST(FtpConnect, MalformedHostIsRefusedBeforeAnyLookup) {
  FtpSession session("OstrelTest", Timeouts());
  EXPECT_EQ(ConnectFailure(session, "ftp.example.com:99999").Message(),
            "\"ftp.example.com:99999\" is not a host name, \"name:port\" or \"[IPv6 address]:port\".");
}

TEST(FtpConnect, ServerThatHangsUpInsideItsGreetingFailsTheLogonAtOnce) {
  FtpTestServer server(WithFaults({"--broken-greeting"}));
  // Default timeouts: only a detected end of connection, not a timeout, can end this quickly.
  FtpSession session("OstrelTest");
  const FtpError error = ConnectFailure(session, server.Host());
  EXPECT_EQ(error.Code(), FtpError::kConnectionClosed);
  EXPECT_EQ(error.Message(), "The server closed the connection in the middle of its reply: 220-first line");
}

TEST(FtpConnect, SilentServerTimesOutTheLogon) {
  FtpTestServer server(WithFaults({"--silent-on", "USER"}));
  FtpSession session("OstrelTest", Timeouts(kShortReply));
  const FtpError error = ConnectFailure(session, server.Host());
  EXPECT_EQ(error.Code(), FtpError::kTimeout);
  EXPECT_EQ(error.Message(), "The server did not answer within 500 ms.");
  EXPECT_EQ(server.CommandLog(), std::vector<std::string>{"USER tester"});
}

TEST(FtpConnect, LineBreakInTheUserNameIsNeverSent) {
  FtpTestServer server;
  FtpSession session("OstrelTest", Timeouts());
  const FtpError error = ConnectFailure(session, server.Host(), "tester\r\nDELE x", "secret");
  EXPECT_EQ(error.Code(), FtpError::kUnsafeName);
  EXPECT_TRUE(server.CommandLog().empty());
}

TEST(FtpConnect, ClosedSessionMakesNoMoreConnections) {
  FtpTestServer server;
  FtpSession session("OstrelTest", Timeouts());
  EXPECT_EQ(session.AgentName(), "OstrelTest");
  session.Close();
  EXPECT_EQ(ConnectFailure(session, server.Host()).Message(), "The FTP session has been closed.");
}

class FaultyServerTest : public testing::Test {
 protected:
  void Start(std::vector<std::string> faults, FtpTimeouts timeouts = Timeouts()) {
    server_ = std::make_unique<FtpTestServer>(WithFaults(std::move(faults)));
    session_ = std::make_unique<FtpSession>("OstrelTest", timeouts);
    connection_ = session_->Connect(server_->Host(), server_->User(), server_->Password());
  }
  std::string LocalFile(const std::string& name, const std::string& bytes) {
    const auto path = localFiles_.Path() / name;
    WriteFile(path, bytes);
    return path.string();
  }
  void ExpectBrokenForGood() {
    EXPECT_TRUE(connection_->IsBroken());
    EXPECT_FALSE(connection_->SetCurrentDirectory("/"));
    EXPECT_EQ(connection_->LastError().Code(), FtpError::kConnectionBroken);
    EXPECT_EQ(connection_->LastError().Message(), "The connection to the server was lost; log on again.");
  }

  TempDirectory localFiles_;
  std::unique_ptr<FtpTestServer> server_;
  std::unique_ptr<FtpSession> session_;
  std::unique_ptr<FtpConnection> connection_;
};

TEST_F(FaultyServerTest, SilentServerTimesOutAndTheConnectionRefusesFurtherCommands) {
  Start({"--silent-on", "PWD"}, Timeouts(kShortReply));
  std::string path = "stale";
  EXPECT_FALSE(connection_->GetCurrentDirectory(path));
  EXPECT_EQ(path, "");
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kTimeout);
  EXPECT_EQ(connection_->LastError().Message(), "The server did not answer within 500 ms.");
  ExpectBrokenForGood();
  EXPECT_EQ(CommandsAfterLogon(*server_), std::vector<std::string>{"PWD"});
}

TEST_F(FaultyServerTest, LateReplyIsNeverTakenForTheAnswerToTheNextCommand) {
  Start({"--delay-reply", "CWD:1.5"}, Timeouts(kShortReply));
  EXPECT_FALSE(connection_->SetCurrentDirectory("/missing/"));
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kTimeout);
  // Let the late "550" arrive; it must not answer the PWD below.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::string path;
  EXPECT_FALSE(connection_->GetCurrentDirectory(path));
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kConnectionBroken);
  EXPECT_EQ(CommandsAfterLogon(*server_), std::vector<std::string>{"CWD /missing/"});
}

struct RefusedStor {
  const char* code;
  std::string reply;
};

class RefusedStorTest : public FaultyServerTest, public testing::WithParamInterface<RefusedStor> {};

TEST_P(RefusedStorTest, FailsWithTheServersReplyAndLeavesTheConnectionUsable) {
  Start({"--fail-stor", std::string("page.htm:") + GetParam().code});
  EXPECT_FALSE(connection_->PutFile(LocalFile("page.htm", "<p>"), "page.htm"));
  EXPECT_FALSE(connection_->LastPutWasStarted());
  EXPECT_EQ(connection_->LastError().Code(), std::stoi(GetParam().code));
  EXPECT_EQ(connection_->LastError().Message(), GetParam().reply);
  EXPECT_FALSE(connection_->IsBroken());
  EXPECT_TRUE(connection_->PutFile(LocalFile("other.htm", "<p>"), "other.htm"));
  EXPECT_EQ(ReadFile(server_->Root() / "other.htm"), "<p>");
}

INSTANTIATE_TEST_SUITE_P(Codes, RefusedStorTest,
                         testing::Values(RefusedStor{"550", "550 Upload refused by the test server."},
                                         RefusedStor{"552", "552 Upload refused by the test server."},
                                         RefusedStor{"553", "553 Upload refused by the test server."}),
                         [](const testing::TestParamInfo<RefusedStor>& info) { return std::string(info.param.code); });

TEST_F(FaultyServerTest, DataConnectionCutDuringAPutFailsWithTheServersReply) {
  Start({"--cut-data-during-stor", "100000"});
  EXPECT_FALSE(connection_->PutFile(LocalFile("big.bin", std::string(8 << 20, 'x')), "big.bin"));
  EXPECT_TRUE(connection_->LastPutWasStarted());
  EXPECT_EQ(connection_->LastError().Code(), 426);
  EXPECT_EQ(connection_->LastError().Message(), "426 Data connection cut by the test server; transfer aborted.");
  EXPECT_FALSE(connection_->IsBroken());
  std::string path;
  EXPECT_TRUE(connection_->GetCurrentDirectory(path));
}

TEST_F(FaultyServerTest, ControlConnectionDroppedDuringAPutBreaksTheConnection) {
  Start({"--close-control-during-stor", "100000"});
  EXPECT_FALSE(connection_->PutFile(LocalFile("big.bin", std::string(8 << 20, 'x')), "big.bin"));
  EXPECT_TRUE(connection_->LastPutWasStarted());
  // Which side notices first is a race: the reset data connection or the closed control connection.
  const std::string message = connection_->LastError().Message();
  EXPECT_TRUE(message == "The data connection failed: Connection reset by peer" ||
              message == "The server closed the connection.")
      << message;
  ExpectBrokenForGood();
}

TEST_F(FaultyServerTest, ServerThatStopsTakingDataTimesOutThePut) {
  Start({"--stall-stor", "100000"}, Timeouts(kShortReply, kShortReply));
  // More than the loopback socket buffers can hold, so the sending must stall.
  EXPECT_FALSE(connection_->PutFile(LocalFile("big.bin", std::string(64 << 20, 'x')), "big.bin"));
  EXPECT_TRUE(connection_->LastPutWasStarted());
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kTimeout);
  EXPECT_EQ(connection_->LastError().Message(), "The server took no data for 500 ms.");
  // No final reply came either, so the connection cannot be trusted any more.
  ExpectBrokenForGood();
}

TEST_F(FaultyServerTest, RefusedEprtFallsBackToPortForTheRestOfTheConnection) {
  Start({"--refuse-eprt"});
  EXPECT_TRUE(connection_->PutFile(LocalFile("a.htm", "a"), "a.htm")) << connection_->LastError().Message();
  EXPECT_TRUE(connection_->PutFile(LocalFile("b.htm", "b"), "b.htm")) << connection_->LastError().Message();
  EXPECT_EQ(ReadFile(server_->Root() / "b.htm"), "b");
  std::vector<std::string> dataCommands;
  for (const auto& command : CommandsAfterLogon(*server_))
    if (command.starts_with("EPRT") || command.starts_with("PORT")) dataCommands.push_back(command.substr(0, 4));
  EXPECT_EQ(dataCommands, (std::vector<std::string>{"EPRT", "PORT", "PORT"}));
  const auto commands = CommandsAfterLogon(*server_);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "TYPE I"), 1);
}

TEST_F(FaultyServerTest, ListingUsesListWhenFeatHasNoMlstAndPlainListWhenDashAIsRefused) {
  Start({"--hide-mlst"});
  WriteFile(server_->Root() / "docs" / "a.htm", "a");
  const std::int64_t written = ::time(nullptr) - 3 * 86400 - 17;
  const timespec times[2] = {{static_cast<time_t>(written), 0}, {static_cast<time_t>(written), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (server_->Root() / "docs" / "a.htm").c_str(), times, 0), 0);

  FtpFind find(*connection_);
  ASSERT_TRUE(find.Start("/docs/*.*")) << connection_->LastError().Message();
  EXPECT_EQ(find.Current().name, "a.htm");
  EXPECT_EQ(find.Current().lastWriteUtc, std::optional<std::int64_t>(written - written % 60));  // LIST has minutes only
  EXPECT_FALSE(find.Next());
  find.Close();
  // Asked once per connection, however often it lists.
  ASSERT_TRUE(find.Start("/docs/*.*"));

  const auto commands = CommandsAfterLogon(*server_);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "FEAT"), 1);
  // pyftpdlib takes "-a /docs/" for a path; once refused, the plain form serves.
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "LIST -a /docs/"), 1);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "LIST /docs/"), 2);
  EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](const auto& c) { return c.starts_with("CWD"); }), 0);
}

TEST_F(FaultyServerTest, RefusedListingListsNothingAndSaysWhy) {
  Start({"--refuse-listing"});
  FtpFind find(*connection_);
  EXPECT_FALSE(find.Start("/*.*"));
  EXPECT_EQ(connection_->LastError().Message(), "550 Listing refused by the test server.");
  EXPECT_FALSE(connection_->IsBroken());
}

struct UnsafeCall {
  const char* description;
  std::function<bool(FtpConnection&, const std::string& localFile)> call;
};

class UnsafeNameTest : public FaultyServerTest, public testing::WithParamInterface<UnsafeCall> {};

TEST_P(UnsafeNameTest, NameWithALineBreakIsRefusedAndNothingIsSent) {
  Start({});
  EXPECT_FALSE(GetParam().call(*connection_, LocalFile("a.htm", "a")));
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kUnsafeName);
  EXPECT_FALSE(connection_->LastPutWasStarted());
  EXPECT_FALSE(connection_->IsBroken());
  std::string path;
  EXPECT_TRUE(connection_->GetCurrentDirectory(path));
  EXPECT_EQ(CommandsAfterLogon(*server_), std::vector<std::string>{"PWD"});
  EXPECT_TRUE(std::filesystem::is_empty(server_->Root()));
}

using Connection = FtpConnection;
using File = const std::string&;

INSTANTIATE_TEST_SUITE_P(
    Operations, UnsafeNameTest,
    testing::Values(
        UnsafeCall{"change directory", [](Connection& c, File) { return c.SetCurrentDirectory("/a\r\nDELE b"); }},
        UnsafeCall{"create directory", [](Connection& c, File) { return c.CreateDirectory("/new\n"); }},
        UnsafeCall{"put", [](Connection& c, File file) { return c.PutFile(file, "a.htm\r\nDELE x"); }},
        UnsafeCall{"put with a bare CR", [](Connection& c, File file) { return c.PutFile(file, "a\r.htm"); }},
        UnsafeCall{"put with a zero byte",
                   [](Connection& c, File file) { return c.PutFile(file, std::string("a\0.htm", 6)); }},
        UnsafeCall{"delete", [](Connection& c, File) { return c.DeleteFile("a\nb"); }},
        UnsafeCall{"list", [](Connection& c, File) { return FtpFind(c).Start("/a\r\n/*.*"); }}),
    [](const testing::TestParamInfo<UnsafeCall>& info) {
      return test::ParameterName(info.index, info.param.description);
    });

}  // namespace
}  // namespace ostrel
