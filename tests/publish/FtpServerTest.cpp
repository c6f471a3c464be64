// The FTP layer against real servers: pyftpdlib (MLSD) and vsftpd (LIST only).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "publish/ftp/FtpConnection.h"
#include "publish/ftp/FtpError.h"
#include "publish/ftp/FtpFind.h"
#include "publish/ftp/FtpSession.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"
#include "support/VsftpdTestServer.h"

namespace ostrel {
namespace {

using test::FtpTestServer;
using test::ReadFile;
using test::TempDirectory;
using test::VsftpdTestServer;
using test::WriteFile;

// What differs between the servers, as they were seen to behave.
template <typename Server>
struct ServerTraits;

template <>
struct ServerTraits<FtpTestServer> {
  static constexpr const char* kRefusedUser = "tester";
  static constexpr const char* kRefusedPassword = "wrong";
  static constexpr const char* kRefusedText = "530 Authentication failed.";
  static constexpr bool kListsDotEntries = false;
  // MLSD gives exact seconds.
  static std::int64_t ListedTime(std::int64_t written, bool /*isOld*/) { return written; }
};

template <>
struct ServerTraits<VsftpdTestServer> {
  // Anonymous only: any other user is turned away at once.
  static constexpr const char* kRefusedUser = "tester";
  static constexpr const char* kRefusedPassword = "secret";
  static constexpr const char* kRefusedText = "530 This FTP server is anonymous only.";
  // "LIST -a" adds the directory itself and its parent.
  static constexpr bool kListsDotEntries = true;
  // LIST gives minutes for recent files and only the day for old ones.
  static std::int64_t ListedTime(std::int64_t written, bool isOld) {
    return isOld ? written - written % 86400 : written - written % 60;
  }
};

FtpTimeouts TestTimeouts() {
  FtpTimeouts timeouts;
  timeouts.connect = timeouts.reply = timeouts.data = std::chrono::seconds(20);
  return timeouts;
}

void SetWriteTime(const std::filesystem::path& path, std::int64_t utcSeconds) {
  const timespec times[2] = {{static_cast<time_t>(utcSeconds), 0}, {static_cast<time_t>(utcSeconds), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Every byte value, and line ends of every kind, which a text-mode transfer would change.
std::string AllByteValues(std::size_t size) {
  std::string bytes;
  const std::string lineEnds = "\r\n\n\r\r\r\n";
  while (bytes.size() < size) {
    for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
    bytes += lineEnds;
  }
  bytes.resize(size);
  return bytes;
}

template <typename Server>
class FtpServerTest : public testing::Test {
 protected:
  void SetUp() override {
    if constexpr (std::is_same_v<Server, VsftpdTestServer>) {
      if (auto reason = VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *reason;
    }
    server_ = std::make_unique<Server>();
    connection_ = session_.Connect(server_->Host(), server_->User(), server_->Password());
  }

  // A path below the directory the server lets the test write into.
  std::string Remote(const std::string& relative) const { return server_->WritablePath() + relative; }
  std::filesystem::path Local(const std::string& relative) const {
    return server_->Root() / server_->WritablePath().substr(1) / relative;
  }
  std::filesystem::path LocalFile(const std::string& name, const std::string& bytes) {
    const auto path = localFiles_.Path() / name;
    WriteFile(path, bytes);
    return path;
  }
  std::vector<FtpFindEntry> List(const std::string& searchName) {
    std::vector<FtpFindEntry> entries;
    FtpFind find(*connection_);
    if (find.Start(searchName)) {
      do entries.push_back(find.Current());
      while (find.Next());
    }
    find.Close();
    return entries;
  }

  TempDirectory localFiles_;
  std::unique_ptr<Server> server_;
  FtpSession session_{"OstrelTest", TestTimeouts()};
  std::unique_ptr<FtpConnection> connection_;
};

using Servers = testing::Types<FtpTestServer, VsftpdTestServer>;
class ServerNames {
 public:
  template <typename Server>
  static std::string GetName(int) {
    return std::is_same_v<Server, FtpTestServer> ? "pyftpdlib" : "vsftpd";
  }
};
TYPED_TEST_SUITE(FtpServerTest, Servers, ServerNames);

TYPED_TEST(FtpServerTest, LogsOnIntoTheRootDirectory) {
  std::string path;
  EXPECT_TRUE(this->connection_->GetCurrentDirectory(path)) << this->connection_->LastError().Message();
  EXPECT_EQ(path, "/");
  EXPECT_FALSE(this->connection_->IsBroken());
}

TYPED_TEST(FtpServerTest, RefusedLogonCarriesTheServersReply) {
  using Traits = ServerTraits<TypeParam>;
  try {
    this->session_.Connect(this->server_->Host(), Traits::kRefusedUser, Traits::kRefusedPassword);
    FAIL() << "the logon was accepted";
  } catch (const FtpError& error) {
    EXPECT_EQ(error.Code(), 530);
    EXPECT_EQ(error.Message(), Traits::kRefusedText);
  }
}

TYPED_TEST(FtpServerTest, SetsTheCurrentDirectoryWithOrWithoutTrailingSlash) {
  std::filesystem::create_directories(this->Local("docs/img"));
  std::filesystem::create_directories(this->Local("say \"hi\""));
  // The reply to PWD doubles a quote inside the quoted path.
  for (const std::string relative : {"docs", "docs/", "docs/img/", "say \"hi\"/"}) {
    EXPECT_TRUE(this->connection_->SetCurrentDirectory(this->Remote(relative))) << relative;
    std::string path;
    EXPECT_TRUE(this->connection_->GetCurrentDirectory(path));
    std::string expected = this->Remote(relative);
    if (expected.back() == '/') expected.pop_back();
    EXPECT_EQ(path, expected);
  }
}

TYPED_TEST(FtpServerTest, MissingDirectoryCannotBeEnteredButTheConnectionGoesOn) {
  EXPECT_FALSE(this->connection_->SetCurrentDirectory(this->Remote("missing/")));
  EXPECT_EQ(this->connection_->LastError().Code(), 550);
  EXPECT_TRUE(this->connection_->LastError().Message().starts_with("550 ")) << this->connection_->LastError().Message();
  EXPECT_FALSE(this->connection_->IsBroken());
  EXPECT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("")));
}

TYPED_TEST(FtpServerTest, CreatesDirectoriesWithTrailingSlashAndBelowAnExistingParent) {
  FtpConnection& connection = *this->connection_;
  EXPECT_TRUE(connection.CreateDirectory(this->Remote("site/"))) << connection.LastError().Message();
  EXPECT_TRUE(connection.CreateDirectory(this->Remote("site/docs"))) << connection.LastError().Message();
  EXPECT_TRUE(std::filesystem::is_directory(this->Local("site/docs")));
  EXPECT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("site/docs/")));

  EXPECT_FALSE(this->connection_->CreateDirectory(this->Remote("site/")));
  EXPECT_EQ(this->connection_->LastError().Code(), 550);
  EXPECT_FALSE(this->connection_->CreateDirectory(this->Remote("no/such/parent/")));
  EXPECT_FALSE(this->connection_->IsBroken());
}

TYPED_TEST(FtpServerTest, PutsEveryByteUnchanged) {
  // More than one 256 KiB block, and not a whole number of them.
  const std::string bytes = AllByteValues(600 * 1024 + 7);
  ASSERT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("")));
  EXPECT_TRUE(this->connection_->PutFile(this->LocalFile("in.bin", bytes), "all bytes.bin"))
      << this->connection_->LastError().Message();
  EXPECT_TRUE(this->connection_->LastPutWasStarted());
  EXPECT_TRUE(ReadFile(this->Local("all bytes.bin")) == bytes);
}

TYPED_TEST(FtpServerTest, PutsEmptyFilesAndNamesWithSpacesAndWindows1251Bytes) {
  const std::string name = "\xcf\xf0\xe8\xe2\xe5\xf2 page.htm";  // "Привет page.htm" in Windows-1251
  ASSERT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("")));
  EXPECT_TRUE(this->connection_->PutFile(this->LocalFile("page.htm", "<p>text</p>"), name))
      << this->connection_->LastError().Message();
  EXPECT_TRUE(this->connection_->PutFile(this->LocalFile("empty", ""), "empty.txt"));
  EXPECT_EQ(ReadFile(this->Local(name)), "<p>text</p>");
  EXPECT_TRUE(std::filesystem::exists(this->Local("empty.txt")));
  EXPECT_EQ(std::filesystem::file_size(this->Local("empty.txt")), 0u);
}

TYPED_TEST(FtpServerTest, PutReplacesAnExistingFile) {
  ASSERT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("")));
  ASSERT_TRUE(this->connection_->PutFile(this->LocalFile("long", std::string(100000, 'L')), "index.htm"));
  EXPECT_TRUE(this->connection_->PutFile(this->LocalFile("short", "short"), "index.htm"))
      << this->connection_->LastError().Message();
  EXPECT_EQ(ReadFile(this->Local("index.htm")), "short");
}

TYPED_TEST(FtpServerTest, PutOfAMissingLocalFileSendsNothing) {
  const std::string missing = (this->localFiles_.Path() / "missing.htm").string();
  EXPECT_FALSE(this->connection_->PutFile(missing, "missing.htm"));
  EXPECT_EQ(this->connection_->LastError().Code(), FtpError::kSystemError);
  EXPECT_EQ(this->connection_->LastError().Message(), "Cannot open " + missing + ": No such file or directory");
  EXPECT_FALSE(this->connection_->LastPutWasStarted());
  EXPECT_FALSE(std::filesystem::exists(this->Local("missing.htm")));
  EXPECT_FALSE(this->connection_->IsBroken());
}

TYPED_TEST(FtpServerTest, DeletesAFile) {
  WriteFile(this->Local("old.htm"), "old");
  ASSERT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("")));
  EXPECT_TRUE(this->connection_->DeleteFile("old.htm")) << this->connection_->LastError().Message();
  EXPECT_FALSE(std::filesystem::exists(this->Local("old.htm")));
  EXPECT_FALSE(this->connection_->DeleteFile("old.htm"));
  EXPECT_EQ(this->connection_->LastError().Code(), 550);
}

TYPED_TEST(FtpServerTest, ListsHiddenFilesDirectoriesAndTimesWithoutChangingDirectory) {
  using Traits = ServerTraits<TypeParam>;
  const std::int64_t recent = ::time(nullptr) - 3 * 86400 - 17;  // three days ago, odd seconds
  const std::int64_t old = 1583298367;                           // 2020-03-04 05:06:07 UTC
  const std::string cyrillic = "\xcf\xf0\xe8\xe2\xe5\xf2.htm";
  WriteFile(this->Local("my site/recent.htm"), "r");
  WriteFile(this->Local("my site/.hidden"), "h");
  WriteFile(this->Local("my site/with  spaces.htm"), "s");
  WriteFile(this->Local("my site/" + cyrillic), "c");
  std::filesystem::create_directories(this->Local("my site/sub dir"));
  WriteFile(this->Local("my site/old.htm"), "o");
  for (const std::string name : {".hidden", "recent.htm", "with  spaces.htm", "sub dir"})
    SetWriteTime(this->Local("my site/") / name, recent);
  SetWriteTime(this->Local("my site/" + cyrillic), recent);
  SetWriteTime(this->Local("my site/old.htm"), old);
  std::filesystem::create_directories(this->Local("elsewhere"));
  ASSERT_TRUE(this->connection_->SetCurrentDirectory(this->Remote("elsewhere")));

  std::vector<FtpFindEntry> entries = this->List(this->Remote("my site/*.*"));
  std::vector<std::string> dotEntries;
  for (const auto& entry : entries) {
    if (!entry.isDotEntry) continue;
    dotEntries.push_back(entry.name);
    EXPECT_TRUE(entry.isDirectory) << entry.name;
  }
  const std::vector<std::string> expectedDotEntries =
      Traits::kListsDotEntries ? std::vector<std::string>{".", ".."} : std::vector<std::string>{};
  EXPECT_EQ(dotEntries, expectedDotEntries);
  std::erase_if(entries, [](const FtpFindEntry& entry) { return entry.isDotEntry; });
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 6u) << this->connection_->LastError().Message();
  struct Expected {
    std::string name;
    bool isDirectory;
    std::int64_t time;
  };
  const std::vector<Expected> expected = {{".hidden", false, Traits::ListedTime(recent, false)},
                                          {"old.htm", false, Traits::ListedTime(old, true)},
                                          {"recent.htm", false, Traits::ListedTime(recent, false)},
                                          {"sub dir", true, Traits::ListedTime(recent, false)},
                                          {"with  spaces.htm", false, Traits::ListedTime(recent, false)},
                                          {cyrillic, false, Traits::ListedTime(recent, false)}};
  for (std::size_t index = 0; index < expected.size(); ++index) {
    EXPECT_EQ(entries[index].name, expected[index].name);
    EXPECT_EQ(entries[index].isDirectory, expected[index].isDirectory) << expected[index].name;
    EXPECT_EQ(entries[index].lastWriteUtc, std::optional<std::int64_t>(expected[index].time)) << expected[index].name;
  }

  std::string current;
  EXPECT_TRUE(this->connection_->GetCurrentDirectory(current));
  EXPECT_EQ(current, this->Remote("elsewhere"));
}

TYPED_TEST(FtpServerTest, EmptyOrMissingDirectoryListsNothing) {
  std::filesystem::create_directories(this->Local("empty"));
  FtpFind find(*this->connection_);
  EXPECT_FALSE(find.Start(this->Remote("empty/*.*")));
  EXPECT_FALSE(find.Next());
  EXPECT_EQ(find.Current().name, "");
  EXPECT_FALSE(find.Start(this->Remote("missing/*.*")));
  EXPECT_FALSE(this->connection_->IsBroken());
  find.Close();
}

TYPED_TEST(FtpServerTest, ClosedConnectionSaysGoodbyeAndRefusesFurtherWork) {
  this->connection_->Close();
  this->connection_->Close();  // idempotent
  EXPECT_FALSE(this->connection_->SetCurrentDirectory("/"));
  EXPECT_EQ(this->connection_->LastError().Code(), FtpError::kConnectionBroken);
  EXPECT_EQ(this->connection_->LastError().Message(), "The connection to the server has been closed.");
}

}  // namespace
}  // namespace ostrel
