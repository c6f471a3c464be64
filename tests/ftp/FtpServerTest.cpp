// Listings from real servers: pyftpdlib answers MLSD (UTC, exact seconds),
// vsftpd only LIST (UTC, minutes for recent files, days for old ones; dot files
// only with "LIST -a"). Tests run in a half-hour-offset zone, so a time read
// as local time cannot pass.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>
#include <map>
#include <memory>

#include "ftp/FtpConnection.h"
#include "ftp/FtpFind.h"
#include "ftp/FtpSession.h"
#include "support/FtpTestServer.h"

namespace ostrel {
namespace {

using Listing = std::map<std::string, std::pair<bool, std::optional<std::int64_t>>>;

class FtpListingTest : public testing::TestWithParam<bool> {};  // true: vsftpd

TEST_P(FtpListingTest, ListsNamesDotFilesDirectoriesAndUtcTimesWithoutChangingDirectory) {
  if (GetParam() && test::VsftpdTestServer::WhyUnavailable()) GTEST_SKIP() << *test::VsftpdTestServer::WhyUnavailable();
  std::unique_ptr<test::TestServer> server;
  if (GetParam())
    server = std::make_unique<test::VsftpdTestServer>();
  else
    server = std::make_unique<test::FtpTestServer>();
  const auto site = server->Root() / server->WritablePath().substr(1) / "my site";
  const std::int64_t recent = std::time(nullptr) - 3 * 86400 - 17, old = 1583298367;  // 2020-03-04 05:06:07 UTC
  const std::string cyrillic = "\xcf\xf0\xe8\xe2\xe5\xf2.htm";
  for (const std::string name : {".htaccess", "with  spaces.htm", cyrillic.c_str(), "old.htm"})
    test::WriteFile(site / name, name);
  std::filesystem::create_directories(site / "sub dir");
  std::filesystem::create_directories(server->Root() / server->WritablePath().substr(1) / "elsewhere");
  for (const auto& entry : std::filesystem::directory_iterator(site)) {
    const time_t seconds = entry.path().filename() == "old.htm" ? old : recent;
    const timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimes(entry.path().c_str(), times), 0);
  }
  FtpSession session("OstrelTest");
  auto connection = session.Connect(server->Host(), server->User(), server->Password());
  ASSERT_TRUE(connection->SetCurrentDirectory(server->WritablePath() + "elsewhere"));

  Listing listed;
  FtpFind find(*connection);
  if (find.Start(server->WritablePath() + "my site/*.*")) do
      listed[find.Current().name] = {find.Current().isDirectory, find.Current().lastWriteUtc};
    while (find.Next());
  find.Close();

  // LIST shows minutes for recent files and only the day for old ones.
  const std::int64_t listedRecent = GetParam() ? recent - recent % 60 : recent;
  const std::int64_t listedOld = GetParam() ? old - old % 86400 : old;
  Listing expected = {{".htaccess", {false, listedRecent}},
                      {"with  spaces.htm", {false, listedRecent}},
                      {cyrillic, {false, listedRecent}},
                      {"old.htm", {false, listedOld}},
                      {"sub dir", {true, listedRecent}}};
  for (const char* dot : {".", ".."}) {  // "LIST -a" adds the directory itself and its parent
    EXPECT_EQ(listed[dot].first, GetParam()) << dot;
    listed.erase(dot);
  }
  EXPECT_EQ(listed, expected);
  std::string current;
  EXPECT_TRUE(connection->GetCurrentDirectory(current));
  EXPECT_EQ(current, server->WritablePath() + "elsewhere");
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpListingTest, testing::Values(false, true),
                         [](const auto& parameter) { return parameter.param ? "vsftpd" : "pyftpdlib"; });

}  // namespace
}  // namespace ostrel
