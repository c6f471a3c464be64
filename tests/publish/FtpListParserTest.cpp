#include "publish/ftp/FtpListParser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ParameterName.h"

namespace ostrel {
namespace {

// Expected times were computed apart from the code under test (Python's
// calendar.timegm).
constexpr std::int64_t kDecember7th2025Noon = 1765108800;

struct ListCase {
  const char* origin;
  std::string line;
  std::int64_t now;
  bool parsed;
  std::string name;
  bool isDirectory;
  bool isDotEntry;
  std::optional<std::int64_t> time;
};

ListCase Entry(const char* origin, std::string line, std::string name, bool isDirectory,
               std::optional<std::int64_t> time, std::int64_t now = kDecember7th2025Noon) {
  const bool isDot = name == "." || name == "..";
  return {origin, std::move(line), now, true, std::move(name), isDirectory, isDot, time};
}

ListCase NotAnEntry(const char* origin, std::string line) {
  return {origin, std::move(line), kDecember7th2025Noon, false, "", false, false, std::nullopt};
}

void PrintTo(const ListCase& line, std::ostream* out) { *out << line.origin; }

class FtpListParserTest : public testing::TestWithParam<ListCase> {};

TEST_P(FtpListParserTest, ReadsNameDirectoryFlagAndTime) {
  const ListCase& expected = GetParam();
  const auto entry = ParseListLine(expected.line, expected.now);
  ASSERT_EQ(entry.has_value(), expected.parsed) << expected.origin << ": " << expected.line;
  if (!entry) return;
  EXPECT_EQ(entry->name, expected.name) << expected.origin;
  EXPECT_EQ(entry->isDirectory, expected.isDirectory) << expected.origin;
  EXPECT_EQ(entry->isDotEntry, expected.isDotEntry) << expected.origin;
  EXPECT_EQ(entry->lastWriteUtc, expected.time) << expected.origin;
}

INSTANTIATE_TEST_SUITE_P(
    UnixLines, FtpListParserTest,
    testing::Values(
        Entry("pyftpdlib", "-rw-r--r--   1 root     root     10485760 Dec 06 18:15 big.bin", "big.bin", false,
              1765044900),
        Entry("pyftpdlib, old file", "drwxr-xr-x   2 root     root         4096 Jan 02  2020 old dir", "old dir",
              true, 1577923200),
        Entry("vsftpd", "-rw-r--r--    1 1001     1001     10485760 Dec 06 18:15 big.bin", "big.bin", false,
              1765044900),
        Entry("vsftpd, name with spaces", "drwxr-xr-x    3 102      105          4096 Dec 06 19:06 a  b ",
              "a  b ", true, 1765047960),
        Entry("vsftpd -a", "drwxr-xr-x    3 0        0            4096 Dec 06 19:06 .", ".", true, 1765047960),
        Entry("vsftpd -a", "drwxr-xr-x    9 0        0            4096 Jan 02  2020 ..", "..", true,
              1577923200),
        Entry("proftpd, day padded with a space", "-rw-r--r--   1 ftpprobe ftpprobe 10485760 Dec  6 18:24 big.bin",
              "big.bin", false, 1765045440),
        Entry("one-digit hour", "-rw-r--r-- 1 u g 5 Dec 6 8:05 early", "early", false, 1765008300),
        Entry("no group column", "-rw-r--r-- 1 owner 1234 Dec 06 18:15 x.htm", "x.htm", false, 1765044900),
        Entry("name that starts with a space", "-rw-r--r-- 1 u g 5 Dec 06 18:15  leading", " leading", false,
              1765044900),
        Entry("name that holds a date", "-rw-r--r-- 1 u g 5 Dec 06 18:15 Jan 01 2020 notes", "Jan 01 2020 notes",
              false, 1765044900),
        Entry("Windows-1251 bytes", "-rw-r--r-- 1 u g 5 Dec 06 18:15 \xcf\xf0\xe8\xe2\xe5\xf2.htm",
              "\xcf\xf0\xe8\xe2\xe5\xf2.htm", false, 1765044900),
        Entry("UTF-8 bytes", "-rw-r--r-- 1 u g 5 Dec 06 18:15 \xd0\x9f\xd1\x80.htm", "\xd0\x9f\xd1\x80.htm", false,
              1765044900),
        Entry("symbolic link", "lrwxrwxrwx    1 0        0               7 Dec 06 18:15 link name -> target dir",
              "link name", false, 1765044900),
        Entry("upper-case month", "-rw-r--r-- 1 u g 5 DEC 06 18:15 x", "x", false, 1765044900),
        Entry("access-control mark after the mode", "-rw-r--r--+ 1 u g 5 Dec 06 18:15 x", "x", false,
              1765044900),
        Entry("no year: last year when this year's date is ahead", "-rw-r--r-- 1 u g 5 Dec 31 23:00 x", "x",
              false, 1767222000, /*now 2026-01-10 12:00*/ 1768046400),
        Entry("no year: 29 February goes back to a leap year", "-rw-r--r-- 1 u g 5 Feb 29 10:00 leap", "leap",
              false, 1709200800, /*now 2025-03-01 12:00*/ 1740830400),
        Entry("no year: a server a few hours ahead keeps this year", "-rw-r--r-- 1 u g 5 Jun 01 20:00 x", "x",
              false, 1780344000, /*now 2026-06-01 12:00*/ 1780315200),
        Entry("no year: two days ahead is last year", "-rw-r--r-- 1 u g 5 Jun 03 12:00 x", "x", false, 1748952000,
              /*now 2026-06-01 12:00*/ 1780315200),
        Entry("impossible date", "-rw-r--r-- 1 u g 5 Feb 30  2020 x", "x", false, std::nullopt),
        Entry("impossible time", "-rw-r--r-- 1 u g 5 Dec 06 25:15 x", "x", false, std::nullopt),
        NotAnEntry("summary line", "total 24"),
        NotAnEntry("empty", ""),
        NotAnEntry("no name after the time", "-rw-r--r-- 1 u g 5 Dec 06 18:15"),
        NotAnEntry("no name after the time but a space", "-rw-r--r-- 1 u g 5 Dec 06 18:15 "),
        NotAnEntry("month of another language", "-rw-r--r-- 1 u g 5 Dez 06 18:15 x"),
        NotAnEntry("not a mode", "hello 1 u g 5 Dec 06 18:15 x")),
    [](const testing::TestParamInfo<ListCase>& info) { return test::ParameterName(info.index, info.param.origin); });

INSTANTIATE_TEST_SUITE_P(
    DosLines, FtpListParserTest,
    testing::Values(Entry("IIS directory", "12-06-26  06:15PM       <DIR>          name", "name", true, 1796580900),
                    Entry("IIS file, four-digit year", "12-06-2026  18:15  1234 name with space.htm",
                          "name with space.htm", false, 1796580900),
                    Entry("IIS, midnight, last century", "01-02-98  12:00AM                 1234 old file.txt",
                          "old file.txt", false, 883699200),
                    Entry("IIS, impossible date", "02-30-26  10:00AM                    5 bad", "bad", false,
                          std::nullopt),
                    Entry("IIS, hour past 12 with PM", "12-06-26  13:15PM                    5 bad", "bad", false,
                          std::nullopt),
                    NotAnEntry("IIS line without a name", "12-06-26  06:15PM       <DIR>"),
                    NotAnEntry("IIS line with a word for a size", "12-06-26  06:15PM  big name")),
    [](const testing::TestParamInfo<ListCase>& info) { return test::ParameterName(info.index, info.param.origin); });

}  // namespace
}  // namespace ostrel
