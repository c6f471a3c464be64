// The settings file as the table drives it: keys, defaults, order, groups
// written whole, and a file shared with the user and other programs.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "settings/Sites.h"
#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

using test::ReadFile;
using test::WriteFile;
using Values = std::vector<std::string>;
namespace fs = std::filesystem;

// Member by member, named here rather than through the table, so that a
// table row that feeds the wrong member shows.
Values ValuesOf(const RunSettings& s) {
  return {s.LocalDir,
          s.Host,
          s.Password,
          s.Name,
          s.RemoteDir,
          std::to_string(s.SkipSpecialDirs),
          s.XCodeExtenstions,
          std::to_string(s.Xcode),
          std::to_string(s.NoQMarks),
          std::to_string(s.UpdateOnly),
          std::to_string(s.Recurse)};
}

const RunSettings kChanged{"/site/", "ftp.example.org", "hunter2", "user", "/www/", 2, "php", 3, 4, 5, 6, 1, 4, 1,
                           50,       "*.bak; /drafts/"};

class SettingsTest : public ::testing::Test {
 protected:
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory_.Path())) names.push_back(entry.path().filename());
    return names;
  }

  test::TempDirectory directory_;
  fs::path file_ = directory_.Path() / "ostrel.INI";
  SettingsStore store_{file_};
};

TEST_F(SettingsTest, LoadReadsEachKeyOrItsDefault) {
  const std::string longText = std::string(4094, 'a') + "bc";
  const struct {
    std::optional<std::string> contents;  // none: no file
    Values expected;                      // the password was "kept" before the load
  } cases[] = {
      {std::nullopt, {"", "", "kept", "", "", "1", "htm, html, txt", "1", "1", "1", "1"}},
      {"[Parameters]\nRecurse=6\nUpdateOnly=5\nNoQMarks=4\nXcode=3\nXCodeExtenstions=shtml\n"
       "SkipSpecialDirs=2\nRemoteDir=/www/\nName=user\nHost=ftp.example.org\nLocalDir=/site/\nPassword=p\n",
       {"/site/", "ftp.example.org", "kept", "user", "/www/", "2", "shtml", "3", "4", "5", "6"}},
      // Only the number a value begins with counts; an absent key keeps its default.
      {"; note\r\n[Other]\r\nHost=no\r\n[parameters]\r\nrecurse=12abc\r\nXcode=\r\nNoQMarks= -7 \r\n"
       "XCodeExtenstions=\r\nhost = a b \r\nSkipSpecialDirs=5\r\n",
       {"", "a b", "kept", "", "", "5", "", "0", "-7", "1", "12"}},
      // A read text is cut to 4,095 characters.
      {"[Parameters]\nRemoteDir=" + longText + "\n",
       {"", "", "kept", "", longText.substr(0, 4095), "1", "htm, html, txt", "1", "1", "1", "1"}},
  };
  for (const auto& testCase : cases) {
    fs::remove(file_);
    if (testCase.contents) WriteFile(file_, *testCase.contents);
    RunSettings settings = kChanged;
    settings.Password = "kept";
    LoadSettings(store_, settings);
    EXPECT_EQ(ValuesOf(settings), testCase.expected) << testCase.contents.value_or("no file").substr(0, 80);
  }
  // A number outside its range is brought inside it.
  for (const auto& [stored, loaded] : {std::pair{"99", 16}, {"0", 1}, {"x", 1}, {"7", 7}}) {
    WriteFile(file_, std::string("[Parameters]\nConnections=") + stored + "\n");
    RunSettings settings;
    LoadSettings(store_, settings);
    EXPECT_EQ(settings.Connections, loaded) << stored;
  }
}

TEST_F(SettingsTest, SaveWritesOneGroupInTableOrderAndKeepsEveryOtherLine) {
  using enum SettingGroup;
  const std::string connection = "LocalDir=/site/\nHost=ftp.example.org\nName=user\nRemoteDir=/www/\n";
  const std::string options =
      "SkipSpecialDirs=2\nXCodeExtenstions=php\nXcode=3\nNoQMarks=4\nUpdateOnly=5\nRecurse=6\nPassive=1\nConnections="
      "4\nDeleteRemote=1\nMaxDelete=50\nExclude=*.bak; /drafts/\n";
  const struct {
    std::string before;
    SettingGroup group;
    std::string after;
  } cases[] = {
      {"", Connection, "[Parameters]\n" + connection},
      {"", Option, "[Parameters]\n" + options},
      {"[Parameters]\n" + connection, Option, "[Parameters]\n" + connection + options},
      {"; by hand\r\n[Window]\r\nLeft = 10\r\n\r\n[parameters]\r\nhost=old\r\n; note\r\nUnknown= kept \r\n\r\n"
       "[Last]\r\nName=x",
       Connection,
       "; by hand\r\n[Window]\r\nLeft = 10\r\n\r\n[parameters]\r\nhost=ftp.example.org\r\n; note\r\n"
       "Unknown= kept \r\nLocalDir=/site/\r\nName=user\r\nRemoteDir=/www/\r\n\r\n[Last]\r\nName=x"},
  };
  for (const auto& testCase : cases) {
    WriteFile(file_, testCase.before);
    ASSERT_TRUE(SaveSettings(store_, kChanged, testCase.group)) << testCase.before;
    EXPECT_EQ(ReadFile(file_), testCase.after);
    // What is saved loads back, and it is what CopySettings carries over.
    RunSettings loaded, copied;
    LoadSettings(store_, loaded);
    CopySettings(kChanged, copied, testCase.group);
    if (testCase.before.find("LocalDir") != std::string::npos) CopySettings(kChanged, copied, Connection);
    EXPECT_EQ(ValuesOf(loaded), ValuesOf(copied)) << testCase.before;
  }
}

// Today's file, without sites, is written back byte for byte. Then each step leaves the sites, the current
// one, and in [Parameters] (all an older copy reads) the current site's values; the password never.
TEST_F(SettingsTest, SitesAreSectionsBesideParametersWhichKeepsTheCurrentOne) {
  using enum SettingGroup;
  const std::string today =
      "[Parameters]\nLocalDir=/site/\nHost=old.example\nName=user\nRemoteDir=/www/\nSkipSpecialDirs=1\n"
      "XCodeExtenstions=htm\nXcode=0\nNoQMarks=1\nUpdateOnly=1\nRecurse=1\nPassive=0\nConnections=2\nDeleteRemote=0\n"
      "MaxDelete=0\nExclude=\n\n[Certificates]\nold.example:21=SHA256:AB\n";
  WriteFile(file_, today);
  RunSettings loaded;
  LoadSettings(store_, loaded);
  ASSERT_TRUE(SaveSettings(store_, loaded, Connection, CurrentSite(store_)));
  ASSERT_TRUE(SaveSettings(store_, loaded, Option, CurrentSite(store_)));
  EXPECT_EQ(ReadFile(file_), today);
  EXPECT_EQ(std::pair(SiteNames(store_), CurrentSite(store_)), std::pair(Values{}, std::string()));

  RunSettings staging = kChanged, chosen;
  staging.Host = "test.example", staging.Recurse = 0;
  const struct {
    std::function<bool()> step;
    Values sites;
    std::string current, parametersHost;
  } steps[] = {
      {[&] { return SaveSite(store_, "Production", kChanged); }, {"Production"}, "Production", "ftp.example.org"},
      {[&] { return SaveSite(store_, "Test copy", staging); },
       {"Production", "Test copy"},
       "Test copy",
       "test.example"},
      {[&] { return SaveSettings(store_, loaded, Connection, "Test copy"); },
       {"Production", "Test copy"},
       "Test copy",
       "old.example"},
      // Names match as section names do, without regard to case.
      {[&] { return LoadSite(store_, "production", chosen) && SaveSite(store_, "Production", chosen); },
       {"Production", "Test copy"},
       "Production",
       "ftp.example.org"},
      {[&] { return RenameSite(store_, "Test copy", "Staging"); },
       {"Production", "Staging"},
       "Production",
       "ftp.example.org"},
      {[&] { return !RenameSite(store_, "Staging", "STAGING") && !LoadSite(store_, "Test copy", chosen); },
       {"Production", "Staging"},
       "Production",
       "ftp.example.org"},
      {[&] { return DeleteSite(store_, "Production"); }, {"Staging"}, "", "ftp.example.org"},
  };
  for (const auto& [step, sites, current, parametersHost] : steps) {
    SCOPED_TRACE(current + " " + parametersHost);
    ASSERT_TRUE(step());
    RunSettings parameters;
    LoadSettings(store_, parameters);
    EXPECT_EQ(std::tuple(SiteNames(store_), CurrentSite(store_), parameters.Host),
              std::tuple(sites, current, parametersHost));
    EXPECT_EQ(ReadFile(file_).find(kChanged.Password), std::string::npos);
  }
  ASSERT_TRUE(LoadSite(store_, "staging", chosen));
  EXPECT_EQ(std::pair(chosen.Host, chosen.Recurse), std::pair(std::string("old.example"), 0));
  EXPECT_EQ(store_.ReadSection(kCertificatesSection),
            (std::vector<std::pair<std::string, std::string>>{{"old.example:21", "SHA256:AB"}}));
  for (const auto& [name, refused] : std::vector<std::pair<std::string, bool>>{
           {"New", false}, {"", true}, {" New", true}, {"a]b", true}, {"a\nb", true}, {"STAGING", true}})
    EXPECT_EQ(SiteNameProblem(store_, name).empty(), !refused) << name;
}

// A group of keys is one replacement of the file: a write that fails half-way
// leaves the old file whole, and nothing beside it.
// What a killed save left goes at the next one; a live writer's file and
// files of other names stay.
TEST_F(SettingsTest, SaveRemovesTemporariesOfWritersThatNoLongerRun) {
  const std::string live = "ostrel.INI." + std::to_string(::getpid()) + ".7.tmp";
  for (const std::string name : {"ostrel.INI.999999999.0.tmp", live.c_str(), "ostrel.INI.notes.tmp", "other.tmp"})
    WriteFile(directory_.Path() / name, "x");
  ASSERT_TRUE(SaveSettings(store_, kChanged, SettingGroup::Connection));
  std::vector<std::string> entries = Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"ostrel.INI", live, "ostrel.INI.notes.tmp", "other.tmp"}));
}

TEST_F(SettingsTest, FailedSaveLeavesTheOldFileByteForByte) {
  const std::string old = "[Parameters]\nHost=old\n";
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto setFileLimit = [&saved](rlim_t bytes) {
    rlimit limit = saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  const auto setPermissions = [](const fs::path& path, fs::perms permissions) {
    return [=] { fs::permissions(path, permissions); };
  };
  const struct {
    const char* description;
    std::function<void()> breakIt, repair;
  } cases[] = {
      {"read-only file", setPermissions(file_, fs::perms::owner_read), setPermissions(file_, fs::perms::owner_all)},
      {"read-only directory", setPermissions(directory_.Path(), fs::perms::owner_read | fs::perms::owner_exec),
       setPermissions(directory_.Path(), fs::perms::owner_all)},
      // A full disk (a file size limit binds root too) with room for the first key only.
      {"disk full after the first key", [&] { setFileLimit(old.size() + 20); }, [&] { setFileLimit(saved.rlim_cur); }},
  };
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (const auto& testCase : cases) {
    WriteFile(file_, old);
    {
      const test::EnforcePermissionChecks asAnyUser;
      testCase.breakIt();
      const bool written = SaveSettings(store_, kChanged, SettingGroup::Connection);
      testCase.repair();
      EXPECT_FALSE(written) << testCase.description;
    }
    EXPECT_EQ(ReadFile(file_), old) << testCase.description;
    EXPECT_EQ(Entries(), std::vector<std::string>{"ostrel.INI"}) << testCase.description;
    EXPECT_TRUE(SaveSettings(store_, kChanged, SettingGroup::Connection)) << testCase.description;
  }
  std::signal(SIGXFSZ, previousHandler);
}

}  // namespace
}  // namespace ostrel
