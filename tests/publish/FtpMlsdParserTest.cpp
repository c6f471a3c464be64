#include "publish/ftp/FtpMlsdParser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ParameterName.h"

namespace ostrel {
namespace {

struct MlsdCase {
  const char* origin;
  std::string line;
  bool parsed;
  std::string name;
  bool isDirectory;
  bool isDotEntry;
  std::optional<std::int64_t> time;  // computed with Python's calendar.timegm
};

void PrintTo(const MlsdCase& line, std::ostream* out) { *out << line.origin; }

class FtpMlsdParserTest : public testing::TestWithParam<MlsdCase> {};

TEST_P(FtpMlsdParserTest, ReadsNameTypeAndExactTime) {
  const MlsdCase& expected = GetParam();
  const auto entry = ParseMlsdLine(expected.line);
  ASSERT_EQ(entry.has_value(), expected.parsed) << expected.origin << ": " << expected.line;
  if (!entry) return;
  EXPECT_EQ(entry->name, expected.name) << expected.origin;
  EXPECT_EQ(entry->isDirectory, expected.isDirectory) << expected.origin;
  EXPECT_EQ(entry->isDotEntry, expected.isDotEntry) << expected.origin;
  EXPECT_EQ(entry->lastWriteUtc, expected.time) << expected.origin;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FtpMlsdParserTest,
    testing::Values(
        MlsdCase{"pyftpdlib", "type=file;size=156;perm=r;modify=20071029155301;unique=8012; music.mp3", true,
                 "music.mp3", false, false, 1193673181},
        MlsdCase{"pyftpdlib directory", "type=dir;size=4096;perm=elradfmwMT;modify=20251206181500;unique=801g2; docs",
                 true, "docs", true, false, 1765044900},
        MlsdCase{"proftpd",
                 "modify=20251206182400;perm=adfrw;size=10485760;type=file;unique=FD01U2D46;UNIX.group=1001;"
                 "UNIX.groupname=ftpprobe;UNIX.mode=0644;UNIX.owner=1001;UNIX.ownername=ftpprobe; big.bin",
                 true, "big.bin", false, false, 1765045440},
        MlsdCase{"pure-ftpd current directory",
                 "type=cdir;sizd=4096;modify=20251206182500;UNIX.mode=0755;UNIX.uid=0;UNIX.gid=0;unique=fd01g2d45; .",
                 true, ".", true, true, 1765045500},
        MlsdCase{"pure-ftpd parent directory", "type=pdir;sizd=4096;modify=20251206182500; ..", true, "..", true,
                 true, 1765045500},
        MlsdCase{"current directory named by its path", "type=cdir;modify=20251206182500; /pub/site", true,
                 "/pub/site", true, true, 1765045500},
        MlsdCase{"fact names and values in any case", "Type=DIR;Modify=20251206182500; Docs", true, "Docs", true,
                 false, 1765045500},
        MlsdCase{"fraction of a second dropped", "type=file;modify=20251206182500.987; x", true, "x", false, false,
                 1765045500},
        MlsdCase{"name with spaces kept whole", "type=file;modify=20251206182500;  two  spaces ", true,
                 " two  spaces ", false, false, 1765045500},
        MlsdCase{"Windows-1251 bytes", "type=file;modify=20251206182500; \xcf\xf0\xe8\xe2\xe5\xf2.htm", true,
                 "\xcf\xf0\xe8\xe2\xe5\xf2.htm", false, false, 1765045500},
        MlsdCase{"symbolic link is no directory", "type=OS.unix=slink:/srv/docs;modify=20251206182500; link", true,
                 "link", false, false, 1765045500},
        MlsdCase{"no modify fact", "type=file;size=1; x", true, "x", false, false, std::nullopt},
        MlsdCase{"modify too short", "type=file;modify=2025120618; x", true, "x", false, false, std::nullopt},
        MlsdCase{"modify with letters", "type=file;modify=2025120618250x; x", true, "x", false, false,
                 std::nullopt},
        MlsdCase{"impossible date", "type=file;modify=20250230182500; x", true, "x", false, false, std::nullopt},
        MlsdCase{"no name", "type=file;size=1", false, "", false, false, std::nullopt},
        MlsdCase{"a space and nothing after it", "type=file;size=1; ", false, "", false, false, std::nullopt},
        MlsdCase{"no facts", "just a name", false, "", false, false, std::nullopt}));

}  // namespace
}  // namespace ostrel
