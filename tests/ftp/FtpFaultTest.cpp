// How the FTP layer copes with servers that refuse, drop or fall silent during
// a put, and with names that would inject commands. pyftpdlib injects the
// faults; its command log shows what reached it.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "ParameterName.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpFind.h"
#include "ftp/FtpSession.h"
#include "support/FtpTestServer.h"

namespace ostrel {
namespace {

class FtpFaultTest : public testing::Test {
 protected:
  void Start(std::vector<std::string> faults) {
    server_ = std::make_unique<test::FtpTestServer>(test::FtpTestServerOptions{.faults = std::move(faults)});
    FtpTimeouts timeouts;
    timeouts.reply = timeouts.data = std::chrono::milliseconds(500);
    timeouts.reconnectPause = std::chrono::milliseconds(20);
    session_ = std::make_unique<FtpSession>("OstrelTest", timeouts);
    connection_ = session_->Connect(server_->Host(), server_->User(), server_->Password());
    test::WriteFile(local_.Path() / "big.bin", std::string(8 << 20, 'x'));
    file_ = ::open((local_.Path() / "big.bin").c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~FtpFaultTest() override { ::close(file_); }
  // The commands the test's own operations sent: the log after the logon.
  std::vector<std::string> CommandsAfterLogon() const {
    const std::vector<std::string> log = server_->CommandLog();
    return {std::find(log.begin(), log.end(), "PASS ******") + 1, log.end()};
  }

  test::TempDirectory local_;
  std::unique_ptr<test::FtpTestServer> server_;
  std::unique_ptr<FtpSession> session_;
  std::unique_ptr<FtpConnection> connection_;
  int file_ = -1;
};

struct PutFault {
  const char* description;
  std::vector<std::string> faults;
  int code;
  std::string message;
  bool started, broken;
};
// CTest lines name the row, not its bytes.
void PrintTo(const PutFault& row, std::ostream* out) { *out << row.description; }

class FtpPutFaultTest : public FtpFaultTest, public testing::WithParamInterface<PutFault> {};

TEST_P(FtpPutFaultTest, FailsWithTheReasonAndKnowsWhetherThePutHadStarted) {
  Start(GetParam().faults);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(connection_->PutFile(file_, "big.bin"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << "no hang";
  EXPECT_EQ(connection_->LastError().Code(), GetParam().code);
  EXPECT_EQ(connection_->LastError().Message(), GetParam().message);
  EXPECT_EQ(connection_->LastPutWasStarted(), GetParam().started);
  EXPECT_EQ(connection_->IsBroken(), GetParam().broken);
  // A broken connection fails at once, without sending; a sound one goes on.
  std::string path;
  EXPECT_EQ(connection_->GetCurrentDirectory(path), !GetParam().broken);
  EXPECT_EQ(CommandsAfterLogon().back(), GetParam().broken ? "STOR big.bin" : "PWD");
}

INSTANTIATE_TEST_SUITE_P(Faults, FtpPutFaultTest,
                         testing::Values(PutFault{"refused",
                                                  {"--answer", "STOR big.bin=553 Upload refused by the test server."},
                                                  553,
                                                  "553 Upload refused by the test server.",
                                                  false,
                                                  false},
                                         PutFault{"data cut",
                                                  {"--cut-data-during-stor", "100000"},
                                                  426,
                                                  "426 Data connection cut by the test server; transfer aborted.",
                                                  true,
                                                  false},
                                         PutFault{"silent",
                                                  {"--silent-on", "STOR"},
                                                  FtpError::kTimeout,
                                                  "The server did not answer within 500 ms.",
                                                  false,
                                                  true}),
                         [](const auto& parameter) {
                           return test::ParameterName(parameter.index, parameter.param.description);
                         });

TEST_F(FtpFaultTest, LateReplyIsNeverTakenForTheAnswerToTheNextCommand) {
  Start({"--delay-reply", "CWD:1.5"});
  EXPECT_FALSE(connection_->SetCurrentDirectory("/missing/"));
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kTimeout);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the late "550" arrives
  std::string path;
  EXPECT_FALSE(connection_->GetCurrentDirectory(path));
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kConnectionBroken);
  // Each try timed out and was repeated on a new logon, three times at most.
  std::vector<std::string> expected = {"CWD /missing/"};
  for (int logon = 0; logon < FtpConnection::kMaximumReconnections; ++logon)
    expected.insert(expected.end(), {"AUTH TLS", "USER tester", "PASS ******", "CWD /missing/"});
  EXPECT_EQ(CommandsAfterLogon(), expected);
}

// What a hostile server sends is bounded: each case ends with a clear message
// in little more than its bound (and its repetitions on new logons), memory
// stays bounded, and nothing hangs.
TEST(HostileServerTest, EndsWithAClearMessageWithinItsBound) {
  const std::pair<const char*, std::string> cases[] = {
      {"greeting", "The server did not greet within 1 second."},
      {"endless-listing", "The server sent more than 64 MiB for one listing; it was not read."},
      {"trickling-listing", "The server did not finish sending within 1500 ms."},
      {"huge-reply", "The server sent a reply of more than 10000 lines or 1 MiB."}};
  for (const auto& [hostile, message] : cases) {
    SCOPED_TRACE(hostile);
    test::FtpTestServer server({.faults = {"--hostile", hostile}});
    FtpTimeouts timeouts;
    timeouts.reply = timeouts.data = std::chrono::seconds(1);
    timeouts.listing = std::chrono::milliseconds(1500);
    timeouts.reconnectPause = std::chrono::milliseconds(20);
    FtpSession session("OstrelTest", timeouts);
    const auto started = std::chrono::steady_clock::now();
    try {
      const auto connection = session.Connect(server.Host(), server.User(), server.Password());
      FtpFind find(*connection);
      EXPECT_FALSE(find.Start("/*.*"));
      EXPECT_EQ(connection->LastError().Message(), message);
    } catch (const FtpError& error) {
      EXPECT_EQ(error.Message(), message);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  }
}

struct UnsafeCall {
  const char* description;
  std::function<bool(FtpConnection&, int file)> call;
};
// CTest lines name the row, not its bytes.
void PrintTo(const UnsafeCall& row, std::ostream* out) { *out << row.description; }

class UnsafeNameTest : public FtpFaultTest, public testing::WithParamInterface<UnsafeCall> {};

TEST_P(UnsafeNameTest, NameWithALineBreakOrZeroByteIsRefusedAndNothingIsSent) {
  Start({});
  EXPECT_FALSE(GetParam().call(*connection_, file_));
  EXPECT_EQ(connection_->LastError().Code(), FtpError::kUnsafeName);
  EXPECT_FALSE(connection_->IsBroken());
  EXPECT_EQ(CommandsAfterLogon(), std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::is_empty(server_->Root()));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, UnsafeNameTest,
    testing::Values(UnsafeCall{"cwd", [](FtpConnection& c, int) { return c.SetCurrentDirectory("/a\r\nDELE b"); }},
                    UnsafeCall{"mkd", [](FtpConnection& c, int) { return c.CreateDirectory("/new\n"); }},
                    UnsafeCall{"put", [](FtpConnection& c, int f) { return c.PutFile(f, "a.htm\r\nDELE x"); }},
                    UnsafeCall{"put CR", [](FtpConnection& c, int f) { return c.PutFile(f, "a\r.htm"); }},
                    UnsafeCall{"put NUL",
                               [](FtpConnection& c, int f) { return c.PutFile(f, std::string("a\0.htm", 6)); }},
                    UnsafeCall{"dele", [](FtpConnection& c, int) { return c.DeleteFile("a\nb"); }},
                    UnsafeCall{"list", [](FtpConnection& c, int) { return FtpFind(c).Start("/a\r\n/*.*"); }}),
    [](const auto& parameter) { return test::ParameterName(parameter.index, parameter.param.description); });

}  // namespace
}  // namespace ostrel
