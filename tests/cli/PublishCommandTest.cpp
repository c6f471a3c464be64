// The command line, and ostrel-publish run as a child against a real pyftpdlib server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <algorithm>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include "cli/ChildProcess.h"
#include "cli/CommandLine.h"
#include "engine/RunLock.h"
#include "platform/FileDescriptor.h"
#include "support/FtpTestServer.h"

namespace ostrel {
namespace {

using test::ChildProcess;
using test::Lines;
using test::ReadFile;
using test::WriteFile;
constexpr const char* kPassword = "pw-Zq81x";
// One connection: the runs below are told by the order of their lines.
constexpr const char* kSettings =
    "[Parameters]\nHost=nowhere.invalid:1\nName=tester\nRemoteDir=/\nXcode=0\nConnections=1\n\n"
    "[Site Test copy]\nName=tester\nRemoteDir=/absent\nXcode=0\nConnections=1\n";

// The parse as one line: stored settings "-" and 7 (Exclude "*~") after the overrides, then the run options. By
// member: LocalDir|Host|Name|RemoteDir|SkipSpecialDirs|XCodeExtenstions|Xcode|NoQMarks|UpdateOnly|Recurse
std::string Parsed(const Lines& arguments) {
  const CommandLineParse parse = ParseCommandLine(arguments);
  if (!parse.error.empty()) return "error: " + parse.error;
  RunSettings s{"-", "-", "-", "-", "-", 7, "-", 7, 7, 7, 7};
  s.Exclude = "*~";
  for (const SettingOverride& override : parse.commandLine.overrides) ApplyOverride(override, s);
  const auto n = [](std::int32_t flag) { return "|" + std::to_string(flag) + "|"; };
  const CommandLine& line = parse.commandLine;
  std::string files;
  for (const std::string& file : line.excludeFrom) files += " from " + file;
  return s.LocalDir + "|" + s.Host + "|" + s.Name + "|" + s.RemoteDir + n(s.SkipSpecialDirs) + s.XCodeExtenstions +
         n(s.Xcode) + std::to_string(s.NoQMarks) + n(s.UpdateOnly) + std::to_string(s.Recurse) + " " +
         line.passwordFile.value_or("") + (line.dryRun ? " dry-run" : "") + (line.quiet ? " quiet " : " ") +
         std::array{"publish", "help", "version", "list-sites"}[static_cast<std::size_t>(line.action)] +
         (line.progress ? (*line.progress ? " progress" : " no-progress") : "") +
         (line.site ? " site " + *line.site : "") + (line.logFile ? " log " + *line.logFile : "") +
         (line.verbose ? " verbose" : "") +
         (s.Connections != RunSettings{}.Connections ? " connections " + std::to_string(s.Connections) : "") +
         (s.DeleteRemote ? " delete" : "") + (s.MaxDelete ? " max-delete " + std::to_string(s.MaxDelete) : "") +
         (s.Exclude != "*~" ? " exclude " + s.Exclude : "") + files;
}

TEST(CommandLineTest, EachArgumentListGivesItsParseOrNamesTheOffendingOption) {
  const std::pair<Lines, std::string> cases[] = {
      // the whole parse, or the beginning of the error
      {{"--local-dir", "-site", "--host=ftp.example.org:21", "--user", "alice", "--remote-dir=/a=b"},
       "-site|ftp.example.org:21|alice|/a=b|7|-|7|7|7|7  publish"},
      {{"--xcode-extensions", "htm, php", "--local-dir="}, "|-|-|-|7|htm, php|7|7|7|7  publish"},
      {{"--no-skip-special-dirs", "--no-xcode", "--qmarks", "--no-update-only", "--no-recurse"},
       "-|-|-|-|0|-|0|0|0|0  publish"},
      {{"--skip-special-dirs", "--xcode", "--no-qmarks", "--update-only", "--recurse"}, "-|-|-|-|1|-|1|1|1|1  publish"},
      {{"--recurse", "--no-recurse", "--host=a", "--host", "b"}, "-|b|-|-|7|-|7|7|7|0  publish"},
      {{"--dry-run", "--quiet", "--password-file", "/run/pw"}, "-|-|-|-|7|-|7|7|7|7 /run/pw dry-run quiet publish"},
      {{"--dry-run", "--help", "--version"}, "-|-|-|-|7|-|7|7|7|7  dry-run help"},
      {{"-n", "-q", "-V", "--no-progress", "--progress"}, "-|-|-|-|7|-|7|7|7|7  dry-run quiet version progress"},
      {{"-h", "-V", "--progress", "--no-progress"}, "-|-|-|-|7|-|7|7|7|7  help no-progress"},
      {{"--site", "Test copy", "-v", "--log-file=/var/log/o.log"},
       "-|-|-|-|7|-|7|7|7|7  publish site Test copy log /var/log/o.log verbose"},
      {{"--list-sites", "--verbose", "--site=a"}, "-|-|-|-|7|-|7|7|7|7  list-sites site a verbose"},
      {{"--list-sites", "-V"}, "-|-|-|-|7|-|7|7|7|7  version"},
      {{"--site"}, "error: option --site needs a value"},
      {{"--help", "--bogus"}, "error: unknown option --bogus"},
      {{"-nq"}, "error: unknown option -nq"},
      {{"--local-dir", "--dry-run"}, "error: option --local-dir needs a value"},
      {{"--recurse=0"}, "error: option --recurse takes no value"},
      {{"--connections", "16", "--connections=1"}, "-|-|-|-|7|-|7|7|7|7  publish connections 1"},
      {{"--connections", "17"}, "error: option --connections takes a whole number from 1 to 16"},
      {{"--connections=0"}, "error: option --connections takes a whole number from 1 to 16"},
      {{"--connections", "4x"}, "error: option --connections takes a whole number from 1 to 16"},
      {{"--host=h", "--password=hunter2"}, "error: --password is refused: a password on the command line can be"},
      // --exclude adds to the stored patterns.
      {{"--delete", "--max-delete", "50", "--exclude", "*.bak", "--exclude=/drafts/", "--exclude-from", "a",
        "--exclude-from=b"},
       "-|-|-|-|7|-|7|7|7|7  publish delete max-delete 50 exclude *~;*.bak;/drafts/ from a from b"},
      {{"--delete", "--no-delete", "--max-delete=0"}, "-|-|-|-|7|-|7|7|7|7  publish"},
      {{"--max-delete", "-1"}, "error: option --max-delete takes a whole number from 0 to 2147483647"},
      {{"--exclude", "!"}, "error: The exclusion pattern \"!\" (--exclude) names nothing"},
      {{"--exclude="}, "error: The exclusion pattern \"\" (--exclude) names nothing"},
  };
  for (const auto& [arguments, expected] : cases) {
    const std::string parsed = Parsed(arguments);
    EXPECT_EQ(expected.starts_with("error: ") ? parsed.substr(0, expected.size()) : parsed, expected);
    EXPECT_EQ(parsed.find("hunter2"), std::string::npos) << parsed;  // a secret must not reach a log
  }
}

class PublishCommandTest : public testing::Test {
 protected:
  PublishCommandTest() {
    WriteFile(Local() / "index.htm", "<html>index</html>\n");
    WriteFile(Local() / "docs" / "guide.txt", "guide text\n");
    WriteFile(Local() / "docs" / "img" / "logo.gif", std::string("GIF89a\0\x01\x02", 9));
    WriteFile(SettingsFile(), kSettings);  // partly overridden by options
    WriteFile(work_.Path() / "password", std::string(kPassword) + "\r\nsecond line\n");
    std::filesystem::permissions(work_.Path() / "password",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }

  std::filesystem::path Local() const { return work_.Path() / "local"; }
  std::filesystem::path SettingsFile() const { return work_.Path() / "ostrel.INI"; }
  std::string Path(const std::string& relative) const { return (Local() / relative).string(); }

  ChildProcess Start(const std::string& host, Lines options, Lines environment = {}) const {
    options.insert(options.begin(), {OSTREL_PUBLISH_EXECUTABLE, "--local-dir", Local().string(), "--host", host});
    environment.push_back("OSTREL_SETTINGS_FILE=" + SettingsFile().string());
    environment.push_back("XDG_STATE_HOME=" + work_.Path().string());
    environment.push_back("OSTREL_LOCALEDIR=" OSTREL_TEST_LOCALEDIR);
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TZ"})
      if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    return ChildProcess(options, environment);
  }

  test::TempDirectory work_;
};

TEST_F(PublishCommandTest, ExitStatusOutputAndMessagesTellHowTheRunEnded) {
  const std::string password = std::string("OSTREL_PASSWORD=") + kPassword;
  const std::string runtime = "XDG_RUNTIME_DIR=" + work_.Path().string();
  const std::string logFile = (work_.Path() / "run.log").string();
  const struct {
    Lines options, environment, faults;
    int exitStatus;
    std::string output, error;  // parts of standard output and standard error, "HOST" the server's; no error: none
    bool anotherRun = false;    // the test holds the run lock of this site, as a run in progress would
    Lines remote = {};          // files on the server before the run
  } cases[] = {
      {{},
       {password},
       {},
       0,
       "Processing...\nCopying: " + Path("index.htm") + "\nCopying: " + Path("docs/guide.txt") +
           "\nCopying: " + Path("docs/img/logo.gif") + "\nFinished.\n3 copied, 0 skipped, 0 failed, 39 bytes in ",
       ""},
      {{"--dry-run", "--password-file", (work_.Path() / "password").string()},
       {"OSTREL_PASSWORD=wrong"},
       {},
       0,
       "Would copy: " + Path("docs/img/logo.gif") + "\nFinished.\n3 would copy, 0 skipped, 0 failed, 39 bytes in ",
       ""},
      {{"--dry-run"}, {"OSTREL_PASSWORD=wrong"}, {}, 1, "Logging on...\nFinished.\n0 would", "ostrel-publish: 530 "},
      {{"--no-recurse"},
       {password},
       {"--answer", "STOR .index.htm.ostrel-upload=552 Upload refused by the test server.", "--answer",
        "STOR index.htm=552 Upload refused by the test server."},
       1,
       "0 copied, 0 skipped, 1 failed, 0 bytes",
       "ostrel-publish: Cannot copy file " + Path("index.htm") +
           "\nostrel-publish: 552 Upload refused by the test server.\n"},
      {{},
       {password},
       {"--answer", "CWD /=550 No such directory."},
       1,
       "Logging on...\n0 copied",
       "ostrel-publish: Cannot set remote directory to /\n"},
      {{"--local-dir", Path("absent")},
       {password},
       {},
       1,
       "0 copied",
       "ostrel-publish: Cannot find local directory " + Path("absent") + "\n"},
      // The site's remote directory, the options' host and local directory; the conversation on standard error.
      {{"--site", "test COPY", "-v", "--log-file", logFile},
       {password},
       {},
       1,
       "Logging on...\n0 copied",
       "[1] > PASS ******\n[1] < 230 Login successful.\n[1] > CWD /absent\n[1] < 550 "},
      {{"--site", "Nowhere"},
       {password},
       {},
       2,
       "",
       "ostrel-publish: there is no saved site \"Nowhere\"; --list-sites"},
      {{"--list-sites", "--site", "Nowhere"}, {}, {}, 0, "Test copy\n", ""},
      {{"--log-file", Path("absent/run.log")},
       {password},
       {},
       2,
       "",
       "ostrel-publish: The run's log cannot be written to"},
      {{"--password-file", Path("absent")}, {}, {}, 2, "", "ostrel-publish: cannot read the password file"},
      {{"--password", "hunter2"}, {}, {}, 2, "", "ostrel-publish: --password is refused"},
      {{"--version"}, {}, {}, 0, "ostrel-publish 1.0.0.1\n", ""},
      // What is left out is not counted either.
      {{"--progress", "--exclude", "img/"}, {password}, {}, 0, "\x1b[KFinished.\n\r\x1b[K2 of 2 files, 30 B, ", ""},
      {{"--delete"}, {password}, {}, 0, "\nDeleting: /gone.htm\nFinished.\n", "", false, {"gone.htm"}},
      {{"--delete", "--max-delete", "1"},
       {password},
       {},
       1,
       " s, 0 deleted\n",
       "ostrel-publish: 3 remote files are not in the local directory, more than MaxDelete allows (1): none was "
       "deleted.\n",
       false,
       {"gone.htm", "old/gone.htm"}},
      {{"--exclude-from", Path("absent")}, {password}, {}, 2, "", "ostrel-publish: The pattern file " + Path("absent")},
      {{}, {password, runtime}, {}, 1, "0 copied", "ostrel-publish: Another publish to HOST / is running\n", true},
      // A dry run changes nothing, so it goes alongside.
      {{"--dry-run"}, {password, runtime}, {}, 0, "3 would copy", "", true},
      // Without a place for the lock the run goes on, unguarded.
      {{},
       {password, "XDG_RUNTIME_DIR=" + Path("absent")},
       {},
       0,
       "Runs at the same time are not guarded: cannot create " + Path("absent") + "/ostrel-tester@127.0.0.1_",
       ""},
      // The user's language says the same, with the same exit status; C, whatever LANGUAGE says, is English.
      {{},
       {password, "LANG=ru_RU.UTF-8"},
       {"--answer", "CWD /=550 No such directory."},
       1,
       "Вход на сервер...\nскопировано: 0, пропущено: 0, ошибок: 0, 0 байт за ",
       "ostrel-publish: Не удаётся перейти в каталог на сайте /\n"},
      {{"--connections", "0"},
       {"LANGUAGE=ru", "LC_ALL=C.UTF-8"},
       {},
       2,
       "",
       "ostrel-publish: параметр --connections принимает целое число от 1 до 16\nПопробуйте «ostrel-publish "
       "--help».\n"},
      {{"--connections", "0"},
       {"LANGUAGE=ru", "LC_ALL=C"},
       {},
       2,
       "",
       "ostrel-publish: option --connections takes a whole number from 1 to 16\nTry 'ostrel-publish --help'.\n"},
  };
  // Every run that got going ends with the tally line.
  const std::regex tally(
      "([\\s\\S]*(\n|\r\x1b\\[K))?([0-9]+ (copied|would copy), [0-9]+ skipped, \\d+ failed, \\d+ bytes in|"
      "скопировано: \\d+, пропущено: \\d+, ошибок: \\d+, \\d+ байт(а)? за) .*\n");
  std::size_t runs = 0;
  for (const auto& testCase : cases) {
    test::FtpTestServer server({.password = kPassword, .faults = testCase.faults});
    for (const std::string& name : testCase.remote) WriteFile(server.Root() / name, "x");
    const FileDescriptor lock(
        testCase.anotherRun
            ? open(RunLockFile(work_.Path(), "tester", server.Host(), "/").c_str(), O_RDWR | O_CREAT, 0600)
            : -1);
    ASSERT_TRUE(!testCase.anotherRun || flock(lock.Get(), LOCK_EX | LOCK_NB) == 0);
    ChildProcess child = Start(server.Host(), testCase.options, testCase.environment);
    EXPECT_EQ(child.Finish(), testCase.exitStatus) << child.Error();
    const std::string output = child.Output(), error = child.Error(), where = testing::PrintToString(testCase.options);
    EXPECT_NE(output.find(testCase.output), std::string::npos) << where << " printed\n" << output;
    std::string expectedError = testCase.error;
    if (const std::size_t host = expectedError.find("HOST"); host != std::string::npos)
      expectedError.replace(host, 4, server.Host());
    EXPECT_TRUE(expectedError.empty() ? error.empty() : error.find(expectedError) != std::string::npos) << error;
    EXPECT_EQ(output.find("ostrel-publish:"), std::string::npos) << "a message on standard output: " << output;
    const auto given = [&](const char* option) { return std::ranges::count(testCase.options, option) > 0; };
    const bool ran = testCase.exitStatus != 2 && !given("--version") && !given("--list-sites");
    EXPECT_EQ(std::regex_match(output, tally), ran) << where << " ended with\n" << output;
    const bool refused = testCase.exitStatus == 2 || (testCase.anotherRun && testCase.exitStatus == 1);
    EXPECT_TRUE(!refused || server.CommandLog().empty()) << where << " reached the server";
    // Each run, and no other command, keeps a log of its own.
    std::set<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(work_.Path() / "ostrel" / "logs")) logs.insert(entry);
    EXPECT_EQ(logs.size(), runs += ran) << where;
    for (const std::string& text : {output, error, logs.empty() ? "" : ReadFile(*logs.rbegin()),
                                    std::filesystem::exists(logFile) ? ReadFile(logFile) : ""})
      for (const char* secret : {kPassword, "hunter2"}) EXPECT_EQ(text.find(secret), std::string::npos) << where;
  }
  // The lines of the run's own log, with their times.
  EXPECT_TRUE(std::regex_search(ReadFile(logFile), std::regex("\n20[0-9-]{8} [0-9:]{8} Message: Cannot set remote "
                                                              "directory to /absent\n.* 0 copied, 0 skipped")));
}

// One stop signal lets the file being copied finish; a second ends the
// program at once and leaves the published page as it was. Both exit 3.
TEST_F(PublishCommandTest, StopSignalsEndTheRunAfterTheFileBeingCopiedOrAtOnce) {
  for (const int signals : {1, 2}) {
    // Each upload waits two seconds for the go-ahead, so the signals come while the first is in progress.
    test::FtpTestServer server({.password = kPassword, .faults = {"--delay-reply", "STOR:2.0"}});
    WriteFile(server.Root() / "index.htm", "published before");
    ChildProcess child = Start(server.Host(), {}, {std::string("OSTREL_PASSWORD=") + kPassword});
    ASSERT_TRUE(child.WaitForOutput("Copying: "));
    for (int signal = 0; signal < signals; ++signal) {
      child.Signal(SIGTERM);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // two signals at once would merge into one
    }
    EXPECT_EQ(child.Finish(), 3) << child.Error();  // a partial publish, told apart from a complete one
    const std::string stopping =
        "ostrel-publish: stopping after the current file; send the signal again to stop at once\n";
    EXPECT_EQ(child.Error(), signals == 1 ? stopping : stopping + "ostrel-publish: stopped at once\n");
    const std::regex lines("Logging on...\nProcessing...\nCopying: " + Path("index.htm") +
                           (signals == 1 ? "\nFinished.\n1 copied, 0 skipped, 0 failed, 19 bytes in .*\n" : "\n"));
    EXPECT_TRUE(std::regex_match(child.Output(), lines)) << child.Output();
    EXPECT_EQ(ReadFile(server.Root() / "index.htm"), signals == 1 ? "<html>index</html>\n" : "published before");
  }
}

// Every option of the settings table, with the value the settings file gives
// it now: texts "v-" and their key, flags off and on by turns.
TEST_F(PublishCommandTest, HelpListsEveryStoredSettingWithItsCurrentValue) {
  const auto value = [](const SettingDefinition& setting, int index) {
    if (setting.IsNumber()) return std::to_string(setting.maximum - 1);
    return setting.valueName.empty() ? std::to_string(index % 2) : "v-" + std::string(setting.key);
  };
  std::string contents = "[Parameters]\n";
  for (int index = 0; const SettingDefinition& setting : StoredSettings())
    contents += std::string(setting.key) + "=" + value(setting, index++) + "\n";
  WriteFile(SettingsFile(), contents);
  for (const auto& [locale, usage, nowLabel] :
       {std::tuple{"LC_ALL=C", "Usage: ", "now: "}, std::tuple{"LC_ALL=ru_RU.UTF-8", "Использование: ", "сейчас: "}}) {
    ChildProcess child = Start("", {"--help"}, {locale});
    ASSERT_EQ(child.Finish(), 0) << child.Error();
    EXPECT_TRUE(child.Output().starts_with(usage)) << child.Output();
    for (int index = 0; const SettingDefinition& setting : StoredSettings()) {
      const std::string on = "--" + std::string(setting.option), off = "--" + std::string(setting.negatedOption);
      const std::string now = value(setting, index++);
      const std::string quote = setting.IsNumber() ? "" : "\"";
      const std::string shown =
          setting.valueName.empty()
              ? on + ", " + off + "[ \n].*\n +" + nowLabel + (now == "1" ? on : off)
              : on + " " + std::string(setting.valueName) + "[ \n].*\n +" + nowLabel + quote + now + quote;
      EXPECT_TRUE(std::regex_search(child.Output(), std::regex("\n  " + shown + "\n"))) << shown;
    }
  }
}

// The option words of a text: "--xcode" is not found in "--xcode-extensions".
std::set<std::string> OptionWords(std::string text) {
  for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) text.erase(at, 1);
  std::set<std::string> words;
  const std::regex word("(^|[^a-z-])(--?[a-zA-Z][a-z0-9-]*)");
  for (auto match = std::sregex_iterator(text.begin(), text.end(), word); match != std::sregex_iterator(); ++match)
    words.insert((*match)[2]);
  return words;
}

// One option missing from --help, the manual page or the completion fails.
TEST(OptionListsTest, EveryAcceptedOptionIsInTheHelpTheManualPageAndTheCompletion) {
  std::vector<std::string> accepted;
  const auto accept = [&](std::string_view prefix, std::string_view name) {
    if (!name.empty()) accepted.push_back(std::string(prefix) + std::string(name));
  };
  for (const SettingDefinition& setting : StoredSettings())
    accept("--", setting.option), accept("--", setting.negatedOption);
  for (const RunOptionDefinition& option : RunOptions())
    accept("", option.shortName), accept("--", option.name), accept("--", option.negatedName);
  ChildProcess help({OSTREL_PUBLISH_EXECUTABLE, "--help"}, {});
  ASSERT_EQ(help.Finish(), 0) << help.Error();
  const std::pair<const char*, std::set<std::string>> lists[] = {
      {"--help", OptionWords(help.Output())},
      {"manual page", OptionWords(ReadFile(OSTREL_MAN_PAGE))},
      {"completion", OptionWords(ReadFile(OSTREL_COMPLETION))}};
  for (const auto& [list, words] : lists)
    for (const std::string& option : accepted)
      EXPECT_TRUE(words.contains(option)) << option << " is not in the " << list;
}

}  // namespace
}  // namespace ostrel
