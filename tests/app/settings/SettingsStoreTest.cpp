#include "app/settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "support/PermissionChecks.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

using test::ReadFile;
using test::TempDirectory;
using test::WriteFile;

std::vector<std::string> EntryNames(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  return names;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::filesystem::path file_ = directory_.Path() / "ostrel.INI";
  SettingsStore store_{file_};
};

TEST_F(SettingsStoreTest, MissingFileGivesDefaultsAndStaysMissing) {
  EXPECT_EQ(store_.ReadSettingInt("Parameters", "Recurse", 7), 7);
  EXPECT_EQ(store_.ReadSettingString("Parameters", "LocalDir", "default"), "default");
  EXPECT_EQ(store_.ReadSettingString("Parameters", "LocalDir"), "");
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(SettingsStoreTest, UnreadableFileGivesDefaultsAndIsNotReplaced) {
  std::filesystem::create_directory(file_);
  WriteFile(file_ / "inside", "kept");
  EXPECT_EQ(store_.ReadSettingInt("Parameters", "Recurse", 7), 7);
  EXPECT_FALSE(store_.WriteSettingString("Parameters", "Host", "a"));
  EXPECT_EQ(ReadFile(file_ / "inside"), "kept");
}

TEST_F(SettingsStoreTest, IntegerIsTheNumberTheValueBeginsWith) {
  struct Case {
    std::string stored;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"5", 5},
      {"-1", -1},
      {"7", 7},
      {"  12 ", 12},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"+3", 3},
      {"-0", 0},
      {"007", 7},
      {"0x10", 0},
      {"- 5", 0},
      {"2147483647", std::numeric_limits<std::int32_t>::max()},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      // Beyond 32 bits the number wraps around, as the profile functions do.
      {"2147483648", std::numeric_limits<std::int32_t>::min()},
      {"4294967297", 1},
      {"-4294967295", 1},
  };
  for (const Case& testCase : cases) {
    WriteFile(file_, "[Parameters]\nValue=" + testCase.stored + "\n");
    EXPECT_EQ(store_.ReadSettingInt("Parameters", "Value", 99), testCase.expected)
        << '"' << testCase.stored << '"';
  }
}

TEST_F(SettingsStoreTest, IntegerIsWrittenAsPlainDecimal) {
  const std::int32_t values[] = {0, 1, -42, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()};
  for (const std::int32_t value : values) {
    ASSERT_TRUE(store_.WriteSettingInt("Parameters", "Value", value));
    EXPECT_EQ(ReadFile(file_), "[Parameters]\nValue=" + std::to_string(value) + "\n");
    EXPECT_EQ(store_.ReadSettingInt("Parameters", "Value", 99), value);
  }
}

TEST_F(SettingsStoreTest, TextIsStoredWholeAndReadCutTo4095Characters) {
  const std::string longText = std::string(4094, 'a') + "bc" + std::string(904, 'd');
  ASSERT_TRUE(store_.WriteSettingString("Parameters", "LocalDir", longText));
  EXPECT_EQ(ReadFile(file_), "[Parameters]\nLocalDir=" + longText + "\n");
  EXPECT_EQ(store_.ReadSettingString("Parameters", "LocalDir"), std::string(4094, 'a') + "b");

  const std::string exactText(4095, 'x');
  ASSERT_TRUE(store_.WriteSettingString("Parameters", "LocalDir", exactText));
  EXPECT_EQ(store_.ReadSettingString("Parameters", "LocalDir"), exactText);
}

TEST_F(SettingsStoreTest, ValuesAreWrittenUnchangedAndReadBack) {
  const std::string values[] = {
      "",
      "a=b=c",
      "x;y ; z",
      "\"quoted\"",
      "'single'",
      "two  words",
      "C:\\Web\\site\\",
      "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0",  // Windows-1251
      "\xD0\x9F\xD1\x80\xD0\xB8",              // UTF-8
  };
  for (const std::string& value : values) {
    ASSERT_TRUE(store_.WriteSettingString("Parameters", "RemoteDir", value)) << value;
    EXPECT_EQ(ReadFile(file_), "[Parameters]\nRemoteDir=" + value + "\n");
    EXPECT_EQ(store_.ReadSettingString("Parameters", "RemoteDir", "default"), value);
  }
}

TEST_F(SettingsStoreTest, BlanksAroundAValueAreWrittenButNotRead) {
  ASSERT_TRUE(store_.WriteSettingString("Parameters", "Name", "  padded\t "));
  EXPECT_EQ(ReadFile(file_), "[Parameters]\nName=  padded\t \n");
  EXPECT_EQ(store_.ReadSettingString("Parameters", "Name"), "padded");
}

TEST_F(SettingsStoreTest, WriteKeepsEverythingElseByteForByte) {
  WriteFile(file_,
            "; written by hand\r\n"
            "[Window]\r\n"
            "Left = 10\r\n"
            "\r\n"
            "[parameters]\r\n"
            "host=old.example.org\r\n"
            "; the user's note\r\n"
            "Unknown=kept\r\n"
            "\r\n"
            "[Last]\r\n"
            "Host=not this one");
  ASSERT_TRUE(store_.WriteSettingString("Parameters", "Host", "new.example.org"));
  ASSERT_TRUE(store_.WriteSettingInt("Parameters", "Recurse", 0));
  ASSERT_TRUE(store_.WriteSettingString("Other", "Key", "v"));
  EXPECT_EQ(ReadFile(file_),
            "; written by hand\r\n"
            "[Window]\r\n"
            "Left = 10\r\n"
            "\r\n"
            "[parameters]\r\n"
            "host=new.example.org\r\n"
            "; the user's note\r\n"
            "Unknown=kept\r\n"
            "Recurse=0\r\n"
            "\r\n"
            "[Last]\r\n"
            "Host=not this one\r\n"
            "\r\n"
            "[Other]\r\n"
            "Key=v\r\n");
  EXPECT_EQ(store_.ReadSettingString("PARAMETERS", "HOST"), "new.example.org");
}

TEST_F(SettingsStoreTest, FirstWriteCreatesTheFileAndItsDirectories) {
  const std::filesystem::path nested = directory_.Path() / "home" / ".config" / "ostrel.INI";
  SettingsStore store(nested);
  ASSERT_TRUE(store.WriteSettingString("Parameters", "Host", ""));
  EXPECT_EQ(ReadFile(nested), "[Parameters]\nHost=\n");
  EXPECT_EQ(store.ReadSettingString("Parameters", "Host", "default"), "");
  EXPECT_EQ(EntryNames(nested.parent_path()), std::vector<std::string>{"ostrel.INI"});
}

TEST_F(SettingsStoreTest, RefusedWriteLeavesTheFileAlone) {
  WriteFile(file_, "[Parameters]\nHost=a\n");
  EXPECT_FALSE(store_.WriteSettingString("Parameters", "Host", "b\nPassword=secret"));
  EXPECT_FALSE(store_.WriteSettingString("Parameters", "Ho=st", "b"));
  EXPECT_EQ(ReadFile(file_), "[Parameters]\nHost=a\n");
}

TEST_F(SettingsStoreTest, WriteFailsWhenTheDirectoryCannotExist) {
  const std::filesystem::path blocker = directory_.Path() / "config";
  WriteFile(blocker, "a regular file where the directory should be");
  SettingsStore store(blocker / "ostrel.INI");
  EXPECT_FALSE(store.WriteSettingString("Parameters", "Host", "a"));
  EXPECT_FALSE(store.WriteSettingInt("Parameters", "Recurse", 0));
  EXPECT_EQ(store.ReadSettingInt("Parameters", "Recurse", 1), 1);
  EXPECT_EQ(ReadFile(blocker), "a regular file where the directory should be");
  EXPECT_EQ(EntryNames(directory_.Path()), std::vector<std::string>{"config"});
}

// A full disk, simulated by a file size limit, which binds root too.
TEST_F(SettingsStoreTest, FailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
  const std::string old = "[Parameters]\nHost=old.example.org\nName=user\n";
  WriteFile(file_, old);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 40;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool written = store_.WriteSettingString("Parameters", "Host", "new.example.org");
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(file_), old);
  EXPECT_EQ(EntryNames(directory_.Path()), std::vector<std::string>{"ostrel.INI"});
  EXPECT_TRUE(store_.WriteSettingString("Parameters", "Host", "new.example.org"));
  EXPECT_EQ(store_.ReadSettingString("Parameters", "Host"), "new.example.org");
}

TEST_F(SettingsStoreTest, ReplacedFileKeepsItsPermissionsAndLink) {
  using std::filesystem::perms;
  const perms permissions = perms::owner_read | perms::owner_write | perms::group_read;
  const std::filesystem::path real = directory_.Path() / "elsewhere" / "real.INI";
  WriteFile(real, "[Parameters]\n");
  std::filesystem::permissions(real, permissions);
  std::filesystem::create_symlink(real, file_);

  ASSERT_TRUE(store_.WriteSettingString("Parameters", "Host", "a"));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(ReadFile(real), "[Parameters]\nHost=a\n");
  EXPECT_EQ(std::filesystem::status(real).permissions(), permissions);
}

TEST_F(SettingsStoreTest, ReadOnlyFileOrDirectoryIsNotReplaced) {
  const std::string old = "[Parameters]\nHost=a\n";
  WriteFile(file_, old);
  const test::EnforcePermissionChecks asAnyUser;

  std::filesystem::permissions(file_, std::filesystem::perms::owner_read);
  EXPECT_FALSE(store_.WriteSettingString("Parameters", "Host", "b"));
  EXPECT_EQ(ReadFile(file_), old);
  EXPECT_EQ(EntryNames(directory_.Path()), std::vector<std::string>{"ostrel.INI"});

  std::filesystem::permissions(file_, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  std::filesystem::permissions(directory_.Path(),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_FALSE(store_.WriteSettingString("Parameters", "Host", "b"));
  EXPECT_EQ(ReadFile(file_), old);
  EXPECT_EQ(EntryNames(directory_.Path()), std::vector<std::string>{"ostrel.INI"});
}

// Sets or clears an environment variable for one test, then puts it back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnvironment() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsStoreDefaultPath, NamesTheFileAfterTheExecutable) {
  const ScopedEnvironment configuration("XDG_CONFIG_HOME", "/xdg/config");
  const std::pair<const char*, const char*> cases[] = {
      {"ostrel", "/xdg/config/ostrel.INI"},
      {"/usr/bin/ostrel-publish", "/xdg/config/ostrel-publish.INI"},
      {"C:/PROGRAMS/OSTREL.EXE", "/xdg/config/OSTREL.INI"},
      {"./build/ostrel.v2.bin", "/xdg/config/ostrel.v2.INI"},
      {"/opt/ostrel.d/ostrel", "/xdg/config/ostrel.INI"},
  };
  for (const auto& [executable, expected] : cases)
    EXPECT_EQ(SettingsStore::DefaultPath(executable), std::filesystem::path(expected)) << executable;
}

TEST(SettingsStoreDefaultPath, FallsBackToTheHomeConfigurationDirectory) {
  const ScopedEnvironment home("HOME", "/home/someone");
  const char* const ignoredSettings[] = {nullptr, "", "relative/config"};
  for (const char* setting : ignoredSettings) {
    const ScopedEnvironment configuration("XDG_CONFIG_HOME", setting);
    EXPECT_EQ(SettingsStore::DefaultPath("/usr/bin/ostrel"),
              std::filesystem::path("/home/someone/.config/ostrel.INI"))
        << (setting ? setting : "unset");
  }
}

}  // namespace
}  // namespace ostrel
