#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/PasswordSource.h"
#include "publish/Publisher.h"
#include "publish/PublisherUserInterface.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

struct AcceptedCase {
  const char* description;
  std::vector<std::string> arguments;
  CommandLine expected;
};

CommandLine With(void (*change)(CommandLine&)) {
  CommandLine line;
  change(line);
  return line;
}

TEST(CommandLineTest, AcceptedArgumentsGiveTheCommandLine) {
  const AcceptedCase cases[] = {
      {"nothing keeps every stored setting", {}, CommandLine{}},
      {"value after a space", {"--host", "ftp.example.org:2121"},
       With([](CommandLine& l) { l.overrides.Host = "ftp.example.org:2121"; })},
      {"value after an equals sign, which may hold another", {"--remote-dir=/www/a=b"},
       With([](CommandLine& l) { l.overrides.RemoteDir = "/www/a=b"; })},
      {"an empty value is a value", {"--local-dir="}, With([](CommandLine& l) { l.overrides.LocalDir = ""; })},
      {"a value may begin with one dash", {"--local-dir", "-site"},
       With([](CommandLine& l) { l.overrides.LocalDir = "-site"; })},
      {"--user feeds Name and the list its misspelt key",
       {"--user", "alice", "--xcode-extensions", "htm, php"},
       With([](CommandLine& l) {
         l.overrides.Name = "alice";
         l.overrides.XCodeExtenstions = "htm, php";
       })},
      {"every flag can be turned off",
       {"--no-recurse", "--no-skip-special-dirs", "--no-update-only", "--no-xcode", "--qmarks"},
       With([](CommandLine& l) {
         l.overrides.Recurse = 0;
         l.overrides.SkipSpecialDirs = 0;
         l.overrides.UpdateOnly = 0;
         l.overrides.Xcode = 0;
         l.overrides.NoQMarks = 0;
       })},
      {"every flag can be turned on",
       {"--recurse", "--skip-special-dirs", "--update-only", "--xcode", "--no-qmarks"},
       With([](CommandLine& l) {
         l.overrides.Recurse = 1;
         l.overrides.SkipSpecialDirs = 1;
         l.overrides.UpdateOnly = 1;
         l.overrides.Xcode = 1;
         l.overrides.NoQMarks = 1;
       })},
      {"the last of two opposite options wins", {"--recurse", "--no-recurse", "--host=a", "--host=b"},
       With([](CommandLine& l) {
         l.overrides.Recurse = 0;
         l.overrides.Host = "b";
       })},
      {"run options", {"--dry-run", "--quiet", "--password-file", "/run/secret"},
       With([](CommandLine& l) {
         l.dryRun = true;
         l.quiet = true;
         l.passwordFile = "/run/secret";
       })},
      {"help wins over a run", {"--dry-run", "--help"},
       With([](CommandLine& l) {
         l.dryRun = true;
         l.action = CommandAction::ShowHelp;
       })},
      {"help wins over version in either order", {"--help", "--version"},
       With([](CommandLine& l) { l.action = CommandAction::ShowHelp; })},
      {"version", {"--version"}, With([](CommandLine& l) { l.action = CommandAction::ShowVersion; })},
  };
  for (const AcceptedCase& testCase : cases) {
    const CommandLineParse parse = ParseCommandLine(testCase.arguments);
    EXPECT_EQ(parse.error, "") << testCase.description;
    EXPECT_TRUE(parse.commandLine == testCase.expected) << testCase.description;
  }
}

struct RefusedCase {
  std::vector<std::string> arguments;
  std::string errorBeginning;
};

TEST(CommandLineTest, UnacceptableArgumentsNameTheOffendingOption) {
  const RefusedCase cases[] = {
      {{"--hots", "x"}, "unknown option --hots"},
      {{"--passwd=secret"}, "unknown option --passwd"},
      {{"-h"}, "unknown option -h;"},
      {{"--"}, "unknown option --;"},
      {{"/home/alice/site"}, "unexpected argument \"/home/alice/site\""},
      {{"--host"}, "option --host needs a value"},
      {{"--local-dir", "--dry-run"}, "option --local-dir needs a value"},
      {{"--password-file"}, "option --password-file needs a value"},
      {{"--recurse=0"}, "option --recurse takes no value"},
      {{"--quiet=yes"}, "option --quiet takes no value"},
      {{"--help", "--bogus"}, "unknown option --bogus"},
      {{"--password", "secret"}, "--password is refused: a password on the command line can be read"},
      {{"--password=secret"}, "--password is refused"},
  };
  for (const RefusedCase& testCase : cases) {
    const CommandLineParse parse = ParseCommandLine(testCase.arguments);
    const std::string where = testing::PrintToString(testCase.arguments);
    EXPECT_EQ(parse.error.rfind(testCase.errorBeginning, 0), 0u) << where << " gave: " << parse.error;
    // A mistyped option must not copy a secret value into a log.
    EXPECT_EQ(parse.error.find("secret"), std::string::npos) << where;
  }
}

class SilentInterface : public PublisherUserInterface {
 public:
  void ShowStatusAndProcessInput(const std::string&, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

TEST(CommandLineTest, OverridesReplaceOnlyTheSettingsTheyName) {
  SilentInterface userInterface;
  Publisher publisher(userInterface, "ostrel-publish");
  publisher.LocalDir = "/stored/site";
  publisher.Host = "stored.example.org";
  publisher.Name = "stored-user";
  publisher.RemoteDir = "/stored";
  publisher.XCodeExtenstions = "htm";
  publisher.Recurse = 5;

  const CommandLineParse parse =
      ParseCommandLine({"--host", "127.0.0.1:2121", "--no-xcode", "--qmarks", "--remote-dir="});
  ASSERT_EQ(parse.error, "");
  ApplyOverrides(parse.commandLine.overrides, publisher);

  EXPECT_EQ(publisher.Host, "127.0.0.1:2121");
  EXPECT_EQ(publisher.RemoteDir, "");
  EXPECT_EQ(publisher.Xcode, 0);
  EXPECT_EQ(publisher.NoQMarks, 0);
  EXPECT_EQ(publisher.LocalDir, "/stored/site");
  EXPECT_EQ(publisher.Name, "stored-user");
  EXPECT_EQ(publisher.XCodeExtenstions, "htm");
  EXPECT_EQ(publisher.Recurse, 5);
  EXPECT_EQ(publisher.UpdateOnly, 1);
  EXPECT_EQ(publisher.SkipSpecialDirs, 1);
}

TEST(PasswordFileTest, TheFirstLineWithoutItsLineEndIsThePassword) {
  const struct {
    const char* contents;
    const char* password;
  } cases[] = {
      {"s3cret\n", "s3cret"},
      {"s3cret\r\nsecond line\n", "s3cret"},
      {"no line end", "no line end"},
      {" spaces kept \n", " spaces kept "},
      {"", ""},
      {"\n", ""},
  };
  test::TempDirectory directory;
  for (const auto& testCase : cases) {
    const auto file = directory.Path() / "password";
    test::WriteFile(file, testCase.contents);
    EXPECT_EQ(ReadPasswordFile(file.string()), testCase.password) << testing::PrintToString(testCase.contents);
  }
}

TEST(PasswordFileTest, AMissingFileIsReportedWithItsPathAndCause) {
  test::TempDirectory directory;
  const std::string missing = (directory.Path() / "absent").string();
  try {
    ReadPasswordFile(missing);
    FAIL() << "no error for a missing file";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "cannot read the password file " + missing + ": No such file or directory");
  }
}

}  // namespace
}  // namespace ostrel
