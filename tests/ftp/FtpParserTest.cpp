#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "ftp/FtpError.h"
#include "ftp/FtpHostAddress.h"
#include "ftp/FtpListParser.h"
#include "ftp/FtpMlsdParser.h"
#include "ftp/FtpReply.h"
#include "ftp/FtpTls.h"

namespace ostrel {
namespace {

using namespace std::chrono;

// Seconds since 1970 UTC by the standard library's calendar, apart from the parsers' own.
constexpr std::int64_t Utc(year_month_day day, seconds time = 0s) {
  return (sys_days(day) + time).time_since_epoch().count();
}

TEST(FtpReplyAssembler, OnlyTheOpeningCodeAndASpaceEndAMultiLineReply) {
  using Progress = FtpReplyAssembler::Progress;
  // Lines, the progress after each (Needs more, Complete, Malformed) and the code of the last reply.
  const std::tuple<std::vector<std::string>, std::string, int> cases[] = {
      {{"230 Login successful."}, "C", 230},
      {{"200"}, "C", 200},
      {{"211-Features:", " EPRT", "211 End"}, "NNC", 211},
      {{"220-Hi", "230 not the end", "220-still inside", "220second", "", "220 Ready"}, "NNNNNC", 220},
      {{"250-first", "250"}, "NC", 250},
      {{"150 Opening.", "226-Transfer", "226 complete."}, "CNC", 226},
      {{"hello"}, "M", 0},
      {{"600 Nope"}, "M", 0},
      {{"022 x"}, "M", 0},
      {{"2201 x"}, "M", 0},
      {{"22"}, "M", 0}};
  for (const auto& [lines, expectedProgress, code] : cases) {
    SCOPED_TRACE(lines.front());
    FtpReplyAssembler assembler;
    std::string progress, text;  // text: the lines of the reply the last line belongs to
    for (const std::string& line : lines) {
      if (progress.ends_with('C')) text.clear();
      text += (text.empty() ? "" : "\n") + line;
      const Progress step = assembler.AddLine(line);
      progress += step == Progress::NeedsMore ? 'N' : step == Progress::Complete ? 'C' : 'M';
      EXPECT_EQ(assembler.IsInsideReply(), step != Progress::Complete);
    }
    EXPECT_EQ(progress, expectedProgress);
    EXPECT_EQ(assembler.Reply().code, code);
    EXPECT_EQ(assembler.Reply().Text(), text);
  }
}

TEST(FtpHostAddress, NamePortAndIpv6FormsAndNothingElse) {
  const std::pair<const char*, FtpHostAddress> valid[] = {{"ftp.example.com", {"ftp.example.com", 21}},
                                                          {"ftp.example.com:2121", {"ftp.example.com", 2121}},
                                                          {"127.0.0.1:65535", {"127.0.0.1", 65535}},
                                                          {"[::1]:2121", {"::1", 2121}},
                                                          {"[fe80::1]", {"fe80::1", 21}},
                                                          {"2001:db8::7", {"2001:db8::7", 21}},
                                                          {"ftp://h", {"h", 21, FtpTlsMode::Off}},
                                                          {"ftpes://[::1]:2121", {"::1", 2121, FtpTlsMode::Required}},
                                                          {"ftps://h", {"h", 990, FtpTlsMode::Implicit}},
                                                          {"ftps://h:21", {"h", 21, FtpTlsMode::Implicit}}};
  for (const auto& [text, address] : valid) EXPECT_EQ(ParseFtpHost(text), address) << text;
  for (const char* text : {"",           ":21",    "host:",  "host:0",   "host:65536",       "host:21x",    "host:-1",
                           "[::1",       "[::1]x", "[::1]:", "[]:21",    "[example.com]:21", "my host",     "user@host",
                           "host:21:22", "[::1 ]", "[::g]",  "sftp://h", "ftp://u@h",        "ftp://h/www", "ftps://"})
    EXPECT_EQ(ParseFtpHost(text), std::nullopt) << text;
  EXPECT_EQ(DescribeHostAddress({"::1", 2121}), "[::1]:2121");
  EXPECT_EQ(DescribeHostAddress({"example.com", 21}), "example.com:21");
}

struct Entry {
  const char* line;
  const char* name;
  bool isDirectory;
  std::optional<std::int64_t> time;
  bool isDotEntry = false;
  std::int64_t now = Utc(2025y / 12 / 7, 12h);  // for a listing's dates without a year
};

void ExpectEntry(const std::optional<FtpFindEntry>& entry, const Entry& expected) {
  SCOPED_TRACE(expected.line);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->name, expected.name);
  EXPECT_EQ(entry->isDirectory, expected.isDirectory);
  EXPECT_EQ(entry->isDotEntry, expected.isDotEntry);
  EXPECT_EQ(entry->lastWriteUtc, expected.time);
}

// The tables hold UTC instants; they tell a time read as local time only
// where local time is not UTC, and a lost TZ once hid three such faults.
TEST(FtpListParser, TestsRunInAZoneOffUtc) {
  tzset();
  EXPECT_NE(timezone, 0) << "TZ is not set; run the tests through ctest, which sets it";
}

TEST(FtpListParser, ReadsUnixAndDosLines) {
  const std::int64_t june1st = Utc(2026y / 6 / 1, 12h);
  const Entry cases[] = {
      {"-rw-r--r--   1 root  root  10485760 Dec 06 18:15 big.bin", "big.bin", false, Utc(2025y / 12 / 6, 18h + 15min)},
      {"drwxr-xr-x   2 root  root  4096 Jan 02  2020 old  dir ", "old  dir ", true, Utc(2020y / 1 / 2)},
      {"drwxr-xr-x    9 0        0      4096 Dec 06 19:06 ..", "..", true, Utc(2025y / 12 / 6, 19h + 6min), true},
      {"-rw-r--r--+  1 u g 5 DEC  6 8:05 early", "early", false, Utc(2025y / 12 / 6, 8h + 5min)},
      {"-rw-r--r-- 1 owner 1234 Dec 06 18:15 x.htm", "x.htm", false, Utc(2025y / 12 / 6, 18h + 15min)},
      {"-rw-r--r-- 1 u g 5 Dec 06 18:15  Jan 01 2020 \xcf\xf0", " Jan 01 2020 \xcf\xf0", false,
       Utc(2025y / 12 / 6, 18h + 15min)},
      {"lrwxrwxrwx 1 0 0 7 Dec 06 18:15 link name -> target dir", "link name", false, Utc(2025y / 12 / 6, 18h + 15min)},
      // Without a year: the latest date no more than a day (of grace for a server ahead) after now.
      {"-rw-r--r-- 1 u g 5 Dec 31 23:00 x", "x", false, Utc(2025y / 12 / 31, 23h), false, Utc(2026y / 1 / 10, 12h)},
      {"-rw-r--r-- 1 u g 5 Feb 29 10:00 x", "x", false, Utc(2024y / 2 / 29, 10h), false, Utc(2025y / 3 / 1, 12h)},
      {"-rw-r--r-- 1 u g 5 Jun 02 12:00 x", "x", false, Utc(2026y / 6 / 2, 12h), false, june1st},
      {"-rw-r--r-- 1 u g 5 Jun 02 12:01 x", "x", false, Utc(2025y / 6 / 2, 12h + 1min), false, june1st},
      {"-rw-r--r-- 1 u g 5 Feb 30  2020 x", "x", false, std::nullopt},
      {"12-06-26  06:15PM       <DIR>          name", "name", true, Utc(2026y / 12 / 6, 18h + 15min)},
      {"12-06-2026  18:15  1234 name with space.htm", "name with space.htm", false, Utc(2026y / 12 / 6, 18h + 15min)},
      {"12-06-26  12:30PM  5 noon", "noon", false, Utc(2026y / 12 / 6, 12h + 30min)},
      {"01-02-98  12:00AM  1234 old file.txt", "old file.txt", false, Utc(1998y / 1 / 2)},
      {"02-30-26  10:00AM  5 bad", "bad", false, std::nullopt},
      {"12-06-26  13:15PM  5 bad", "bad", false, std::nullopt}};
  for (const Entry& c : cases) ExpectEntry(ParseListLine(c.line, c.now), c);
  for (const char* line : {"total 24", "", "-rw-r--r-- 1 u g 5 Dec 06 18:15 ", "-rw-r--r-- 1 u g 5 Dez 06 18:15 x",
                           "hello 1 u g 5 Dec 06 18:15 x", "12-06-26  06:15PM  <DIR>", "12-06-26  06:15PM  big name"})
    EXPECT_EQ(ParseListLine(line, Utc(2025y / 12 / 7, 12h)), std::nullopt) << line;
  // Permission bits, set-id and sticky bits among them; none from letters of another notation, nor from DOS lines.
  const std::pair<const char*, std::optional<unsigned>> modes[] = {{"-rwxr-x--- 1 u g 5 Dec 06 18:15 run.cgi", 0750},
                                                                   {"-rwsr-Sr-t+ 1 u g 5 Dec 06 18:15 x", 07745},
                                                                   {"drwx--x--T 1 u g 5 Dec 06 18:15 d", 01710},
                                                                   {"-rw-r--r-A 1 u g 5 Dec 06 18:15 x", std::nullopt},
                                                                   {"12-06-26  12:30PM  5 noon", std::nullopt}};
  for (const auto& [line, mode] : modes)
    EXPECT_EQ(ParseListLine(line, Utc(2025y / 12 / 7, 12h)).value().mode, mode) << line;
}

TEST(FtpMlsdParser, ReadsFactsExactSecondsAndTheNameAfterTheFirstSpace) {
  const std::int64_t at = Utc(2025y / 12 / 6, 18h + 25min);
  const Entry cases[] = {{"type=file;size=156;modify=20071029155301;unique=8012; music.mp3", "music.mp3", false,
                          Utc(2007y / 10 / 29, 15h + 53min + 1s)},
                         {"type=dir;size=4096;perm=elradfmwMT;modify=20251206182500; docs", "docs", true, at},
                         {"Type=DIR;Modify=20251206182500; Docs", "Docs", true, at},
                         {"type=cdir;sizd=4096;modify=20251206182500;UNIX.mode=0755; .", ".", true, at, true},
                         {"type=pdir;modify=20251206182500; ..", "..", true, at, true},
                         {"type=cdir;modify=20251206182500; /pub/site", "/pub/site", true, at, true},
                         {"type=file;modify=20251206182500.987;  two  spaces ", " two  spaces ", false, at},
                         {"type=OS.unix=slink:/srv/docs;modify=20251206182500; \xcf\xf0", "\xcf\xf0", false, at},
                         {"type=file;size=1; x", "x", false, std::nullopt},
                         {"type=file;modify=2025120618; x", "x", false, std::nullopt},
                         {"type=file;modify=2025120618250x; x", "x", false, std::nullopt},
                         {"type=file;modify=20250230182500; x", "x", false, std::nullopt}};
  for (const Entry& c : cases) ExpectEntry(ParseMlsdLine(c.line), c);
  for (const char* line : {"type=file;size=1", "type=file;size=1; ", "just a name"})
    EXPECT_EQ(ParseMlsdLine(line), std::nullopt) << line;
  // unix.mode in octal, as servers write it (pyftpdlib "0o755"), without the file type.
  const std::pair<const char*, std::optional<unsigned>> modes[] = {
      {"type=file;UNIX.mode=0755; run.cgi", 0755}, {"type=file;unix.mode=0o640; x", 0640},
      {"type=file;unix.mode=104750; x", 04750},    {"type=file;unix.mode=0x1ed; x", std::nullopt},
      {"type=file;unix.mode=; x", std::nullopt},   {"type=file;size=1; x", std::nullopt}};
  for (const auto& [line, mode] : modes) EXPECT_EQ(ParseMlsdLine(line).value().mode, mode) << line;
}

TEST(FtpError, KeepsTheCodeAndSaysSoWhenThereIsNoText) {
  EXPECT_EQ(FtpError(530, "530 Login incorrect.").Code(), 530);
  EXPECT_STREQ(FtpError(FtpError::kSystemError, "").what(), "No error message is available.");
}

// Fingerprints are read in every spelling people copy them in.
TEST(FtpTls, FingerprintsAreReadInEveryCommonSpelling) {
  const std::string digits = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
  std::string canonical = "SHA256:";
  for (std::size_t index = 0; index < digits.size(); index += 2)
    canonical += digits.substr(index, 2) + (index + 2 < digits.size() ? ":" : "");
  std::string lower = canonical;
  for (char& character : lower) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
  const std::pair<std::string, std::string> rows[] = {
      {canonical, canonical},
      {lower, canonical},
      {digits, canonical},
      {"sha256 Fingerprint=" + canonical.substr(7), canonical},
      {"SHA256 Fingerprint=" + lower.substr(7), canonical},
      {canonical.substr(0, canonical.size() - 3), ""},  // a pair short
      {"SHA1:" + canonical.substr(7), ""},
      {"", ""},
  };
  for (const auto& [given, read] : rows) EXPECT_EQ(NormalizeFingerprint(given), read) << given;
}

}  // namespace
}  // namespace ostrel
