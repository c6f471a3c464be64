// The ostrel-publish executable run as a child process against a real
// pyftpdlib server, with an environment of its own: what it prints, how it
// exits, what it leaves on the server and in the settings file.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/ChildProcess.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

using test::ChildProcess;
using test::ChildResult;
using test::FtpTestServer;
using test::ReadFile;
using test::TempDirectory;
using test::WriteFile;

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr const char* kStopNote =
    "ostrel-publish: stopping after the current file; send the signal again to stop at once";

void SetModificationTime(const fs::path& path, std::time_t seconds) {
  const utimbuf times{seconds, seconds};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

std::time_t ModificationTime(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status.st_mtime;
}

// A whole tree in one value: relative path to bytes and modification time
// ("docs/" for a directory), so that one comparison covers a whole publish.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_directory())
      tree[relative + "/"] = "";
    else
      tree[relative] = ReadFile(entry.path()) + " @" + std::to_string(ModificationTime(entry.path()));
  }
  return tree;
}

std::map<std::string, std::string> Contents(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    tree[fs::relative(entry.path(), root).string() + (entry.is_directory() ? "/" : "")] =
        entry.is_directory() ? "" : ReadFile(entry.path());
  return tree;
}

// The output with the seconds of the last line cut off, which vary from run
// to run: "3 copied, 0 skipped, 0 failed, 57 bytes in 0.04 s" becomes
// "3 copied, 0 skipped, 0 failed, 57 bytes". A last line of another form
// stays whole, so that the comparison shows it.
Lines WithoutSeconds(Lines lines) {
  static const std::regex kSummary("(.* bytes) in [0-9]+\\.[0-9][0-9] s");
  std::smatch match;
  if (!lines.empty() && std::regex_match(lines.back(), match, kSummary)) lines.back() = match[1];
  return lines;
}

// The text --help shows as the current value of an option, in the first
// "now: VALUE" line after the line that begins with the option.
std::string ValueShownFor(const std::string& help, const std::string& option) {
  std::size_t named = help.find("\n  " + option + " ");
  if (named == std::string::npos) named = help.find("\n  " + option + "\n");
  if (named == std::string::npos) return "(option not listed)";
  const std::size_t now = help.find("now: ", named);
  const std::size_t end = help.find('\n', now);
  if (now == std::string::npos || end == std::string::npos) return "(no value shown)";
  return help.substr(now + 5, end - now - 5);
}

// A pseudo-terminal: the child reads from its terminal side, the test types
// on the other side and sees there whatever the terminal echoes.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    controller_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller_ < 0 || grantpt(controller_) != 0 || unlockpt(controller_) != 0)
      throw std::runtime_error("cannot open a pseudo-terminal");
    terminal_ = open(ptsname(controller_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal_ < 0) throw std::runtime_error("cannot open the terminal side of a pseudo-terminal");
    fcntl(controller_, F_SETFL, fcntl(controller_, F_GETFL) | O_NONBLOCK);
  }
  ~PseudoTerminal() {
    close(terminal_);
    close(controller_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int Terminal() const { return terminal_; }
  void Type(const std::string& text) const {
    ASSERT_EQ(write(controller_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  std::string Echoed() const {
    std::string echoed;
    char buffer[256];
    for (ssize_t count; (count = read(controller_, buffer, sizeof buffer)) > 0;)
      echoed.append(buffer, static_cast<std::size_t>(count));
    return echoed;
  }
  bool EchoIsOn() const {
    termios settings{};
    return tcgetattr(terminal_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
  }

 private:
  int controller_ = -1;
  int terminal_ = -1;
};

class PublishCommandTest : public testing::Test {
 protected:
  PublishCommandTest() {
    fs::create_directories(Home());
    fs::create_directories(ConfigurationDirectory());
    // One file per level, so the walk's order is fixed; the underscore
    // directory is left out by the default settings. Dated an hour back, so
    // that the copies the server makes now are newer.
    WriteFile(Local() / "index.htm", "<html>index</html>\n");
    WriteFile(Local() / "docs" / "guide.txt", "guide text\n");
    WriteFile(Local() / "docs" / "img" / "logo.gif", std::string("GIF89a\0\x01\x02", 9));
    WriteFile(Local() / "_drafts" / "draft.htm", "<p>not yet</p>");
    for (const auto& entry : fs::recursive_directory_iterator(Local()))
      SetModificationTime(entry.path(), std::time(nullptr) - 3600);
  }

  void StartServer(std::vector<std::string> faults = {}) {
    test::FtpTestServerOptions options;
    options.faults = std::move(faults);
    server_ = std::make_unique<FtpTestServer>(options);
    fs::create_directories(Site());
  }

  fs::path Home() const { return work_.Path() / "home"; }
  fs::path ConfigurationDirectory() const { return work_.Path() / "config"; }
  fs::path Local() const { return work_.Path() / "local"; }
  fs::path Site() const { return server_->Root() / "site"; }
  std::string LocalPath(const std::string& relative) const { return (Local() / relative).string(); }

  // Everything a run needs but the password; recoding off, so bytes compare.
  Lines RunOptions() const {
    return {"--local-dir", Local().string(), "--host",       server_->Host(),
            "--user",      server_->User(),  "--remote-dir", "/site",
            "--no-xcode"};
  }

  // Only what the test gives: a home and a configuration directory of its
  // own, and the sanitizers' settings of the test run, if any.
  Lines Environment(const Lines& extra = {}) const {
    Lines environment = {"HOME=" + Home().string(), "XDG_CONFIG_HOME=" + ConfigurationDirectory().string()};
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
      if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    environment.insert(environment.end(), extra.begin(), extra.end());
    return environment;
  }

  static Lines Command(const Lines& options) {
    Lines command = {OSTREL_PUBLISH_EXECUTABLE};
    command.insert(command.end(), options.begin(), options.end());
    return command;
  }

  ChildResult Run(const Lines& options, const Lines& environment) const {
    return test::RunChild(Command(options), Environment(environment));
  }

  ChildResult RunWithPassword(const Lines& options) const {
    return Run(options, {"OSTREL_PASSWORD=" + server_->Password()});
  }

  TempDirectory work_;
  std::unique_ptr<FtpTestServer> server_;
};

TEST_F(PublishCommandTest, FreshThenIncrementalPublishPrintsEachStatusLineAndATally) {
  StartServer();
  const ChildResult fresh = RunWithPassword(RunOptions());
  EXPECT_EQ(fresh.exitStatus, 0) << fresh.standardError;
  EXPECT_EQ(fresh.standardError, "");
  EXPECT_EQ(WithoutSeconds(fresh.OutputLines()),
            (Lines{"Logging on...", "Processing...", "Copying: " + LocalPath("index.htm"),
                   "Copying: " + LocalPath("docs/guide.txt"), "Copying: " + LocalPath("docs/img/logo.gif"),
                   "Finished.", "3 copied, 0 skipped, 0 failed, 39 bytes"}));
  auto expected = Contents(Local());
  expected.erase("_drafts/");
  expected.erase("_drafts/draft.htm");
  EXPECT_EQ(Contents(Site()), expected);

  WriteFile(Local() / "docs" / "guide.txt", "guide text, second edition\n");
  SetModificationTime(Local() / "docs" / "guide.txt", std::time(nullptr) + 3600);
  const ChildResult incremental = RunWithPassword(RunOptions());
  EXPECT_EQ(incremental.exitStatus, 0) << incremental.standardError;
  EXPECT_EQ(WithoutSeconds(incremental.OutputLines()),
            (Lines{"Logging on...", "Processing...", "Skipping: " + LocalPath("index.htm"),
                   "Copying: " + LocalPath("docs/guide.txt"), "Skipping: " + LocalPath("docs/img/logo.gif"),
                   "Finished.", "1 copied, 2 skipped, 0 failed, 27 bytes"}));
  EXPECT_EQ(ReadFile(Site() / "docs" / "guide.txt"), "guide text, second edition\n");
}

TEST_F(PublishCommandTest, ExitStatusTellsHowTheRunEnded) {
  StartServer();
  const std::string absent = (work_.Path() / "absent").string();
  const struct {
    const char* description;
    Lines options;
    Lines environment;
    int exitStatus;
    Lines output;
    std::string errorBeginning;
    std::size_t errorLines;
  } cases[] = {
      {"wrong password", RunOptions(), {"OSTREL_PASSWORD=wrong"}, 1,
       {"Logging on...", "Finished.", "0 copied, 0 skipped, 0 failed, 0 bytes"}, "ostrel-publish: 530 ", 1},
      {"no password at all logs on with an empty one", RunOptions(), {}, 1,
       {"Logging on...", "Finished.", "0 copied, 0 skipped, 0 failed, 0 bytes"}, "ostrel-publish: 530 ", 1},
      {"missing local directory", {"--local-dir", absent, "--host", server_->Host()}, {}, 1,
       {"0 copied, 0 skipped, 0 failed, 0 bytes"}, "ostrel-publish: Cannot find local directory " + absent, 1},
      {"unknown option", {"--local-dir", Local().string(), "--bogus"}, {}, 2, {},
       "ostrel-publish: unknown option --bogus\nTry 'ostrel-publish --help'.", 2},
      {"password as an option", {"--host", server_->Host(), "--password", "hunter2"}, {}, 2, {},
       "ostrel-publish: --password is refused: a password on the command line can be read", 2},
      {"password as an option with equals sign", {"--password=hunter2"}, {}, 2, {},
       "ostrel-publish: --password is refused", 2},
      {"version", {"--version"}, {}, 0, {"ostrel-publish 1.0.0.1"}, "", 0},
  };
  for (const auto& testCase : cases) {
    const std::size_t commandsBefore = server_->CommandLog().size();
    const ChildResult result = Run(testCase.options, testCase.environment);
    EXPECT_EQ(result.exitStatus, testCase.exitStatus) << testCase.description << "\n" << result.standardError;
    EXPECT_EQ(WithoutSeconds(result.OutputLines()), testCase.output) << testCase.description;
    EXPECT_EQ(result.standardError.rfind(testCase.errorBeginning, 0), 0u)
        << testCase.description << " wrote: " << result.standardError;
    EXPECT_EQ(result.ErrorLines().size(), testCase.errorLines) << testCase.description << " wrote: " << result.standardError;
    EXPECT_EQ(result.standardError.find("hunter2"), std::string::npos) << testCase.description;
    if (testCase.exitStatus == 2) {
      EXPECT_EQ(server_->CommandLog().size(), commandsBefore) << testCase.description << " reached the server";
    }
  }
  EXPECT_EQ(Contents(Site()), (std::map<std::string, std::string>{})) << "a failed run copied something";
}

TEST_F(PublishCommandTest, SettingsComeFromTheFileOptionsOverrideThemAndNothingIsWritten) {
  StartServer();
  const fs::path settings = ConfigurationDirectory() / "ostrel.INI";
  const std::string stored = "[Parameters]\nLocalDir=" + Local().string() + "\nHost=" + server_->Host() +
                             "\nName=" + server_->User() + "\nRemoteDir=/elsewhere\nRecurse=0\nXcode=0\n";
  WriteFile(settings, stored);
  SetModificationTime(settings, std::time(nullptr) - 600);
  const std::time_t storedTime = ModificationTime(settings);
  const fs::path passwordFile = work_.Path() / "password";
  WriteFile(passwordFile, server_->Password() + "\n");

  const ChildResult result =
      Run({"--remote-dir", "/site", "--quiet", "--password-file", passwordFile.string()}, {});

  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  // Recurse=0 from the file: only the top level; --quiet: only the tally.
  EXPECT_EQ(WithoutSeconds(result.OutputLines()), Lines{"1 copied, 0 skipped, 0 failed, 19 bytes"});
  EXPECT_EQ(Contents(Site()), (std::map<std::string, std::string>{{"index.htm", "<html>index</html>\n"}}));
  EXPECT_FALSE(fs::exists(server_->Root() / "elsewhere"));
  EXPECT_EQ(ReadFile(settings), stored);
  EXPECT_EQ(ModificationTime(settings), storedTime);
  EXPECT_EQ(std::distance(fs::directory_iterator(ConfigurationDirectory()), fs::directory_iterator()), 1)
      << "another file appeared beside the settings file";
}

TEST_F(PublishCommandTest, HelpShowsTheValuesOfTheSettingsFileNamedByTheEnvironment) {
  const fs::path settings = work_.Path() / "elsewhere" / "site-a.INI";
  WriteFile(settings,
            "[Parameters]\nLocalDir=/srv/from-ini\nHost=ftp.from-ini.example\nName=ini-user\nRemoteDir=/www\n"
            "Recurse=0\nXCodeExtenstions=htm, php\nNoQMarks=0\n");

  const ChildResult result = Run({"--help"}, {"OSTREL_SETTINGS_FILE=" + settings.string()});

  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  const std::string& help = result.standardOutput;
  EXPECT_NE(help.find("Settings file: " + settings.string()), std::string::npos) << help;
  EXPECT_EQ(ValueShownFor(help, "--local-dir DIR"), "\"/srv/from-ini\"");
  EXPECT_EQ(ValueShownFor(help, "--host HOST"), "\"ftp.from-ini.example\"");
  EXPECT_EQ(ValueShownFor(help, "--user NAME"), "\"ini-user\"");
  EXPECT_EQ(ValueShownFor(help, "--remote-dir DIR"), "\"/www\"");
  EXPECT_EQ(ValueShownFor(help, "--recurse, --no-recurse"), "off");
  EXPECT_EQ(ValueShownFor(help, "--update-only, --no-update-only"), "on") << "the default of an absent key";
  EXPECT_EQ(ValueShownFor(help, "--xcode-extensions LIST"), "\"htm, php\"");
  EXPECT_EQ(ValueShownFor(help, "--no-qmarks, --qmarks"), "--qmarks");
  for (const char* option : {"--skip-special-dirs", "--xcode,", "--password-file PATH", "--dry-run", "--quiet"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST_F(PublishCommandTest, DryRunShowsWhatWouldBeCopiedAndLeavesTheServerAsItWas) {
  StartServer();
  WriteFile(Site() / "index.htm", "<html>published earlier</html>\n");
  WriteFile(Site() / "old.txt", "only on the server\n");
  const auto before = Snapshot(server_->Root());
  Lines options = RunOptions();
  options.push_back("--dry-run");

  const ChildResult result = RunWithPassword(options);

  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(WithoutSeconds(result.OutputLines()),
            (Lines{"Logging on...", "Processing...", "Skipping: " + LocalPath("index.htm"),
                   "Would copy: " + LocalPath("docs/guide.txt"), "Would copy: " + LocalPath("docs/img/logo.gif"),
                   "Finished.", "2 would copy, 1 skipped, 0 failed, 20 bytes"}));
  EXPECT_EQ(Snapshot(server_->Root()), before);
}

TEST_F(PublishCommandTest, SigintStopsTheRunAfterTheFileBeingCopied) {
  // Every upload waits two seconds for the server's go-ahead, so the signal
  // lands while the first file is in progress, even on a busy machine.
  StartServer({"--delay-reply", "STOR:2.0"});
  for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) WriteFile(Local() / name, name);

  ChildProcess child(Command(RunOptions()), Environment({"OSTREL_PASSWORD=" + server_->Password()}));
  ASSERT_TRUE(child.WaitFor("\nCopying: ", ChildProcess::Stream::Output));
  child.Signal(SIGINT);
  const ChildResult result = child.Finish();

  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(result.ErrorLines(), Lines{kStopNote});
  const Lines lines = WithoutSeconds(result.OutputLines());
  ASSERT_EQ(lines.size(), 5u) << testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "Logging on...");
  EXPECT_EQ(lines[1], "Processing...");
  EXPECT_EQ(lines[3], "Finished.");
  const std::string copied = fs::path(lines[2].substr(lines[2].find(": ") + 2)).filename().string();
  EXPECT_EQ(lines[4], "1 copied, 0 skipped, 0 failed, " + std::to_string(fs::file_size(Local() / copied)) + " bytes");
  EXPECT_EQ(Contents(Site()), (std::map<std::string, std::string>{{copied, ReadFile(Local() / copied)}}));
}

TEST_F(PublishCommandTest, ASecondSignalEndsTheProgramAtOnce) {
  StartServer({"--delay-reply", "STOR:2.0"});
  ChildProcess child(Command(RunOptions()), Environment({"OSTREL_PASSWORD=" + server_->Password()}));
  ASSERT_TRUE(child.WaitFor("\nCopying: ", ChildProcess::Stream::Output));
  child.Signal(SIGTERM);
  ASSERT_TRUE(child.WaitFor(kStopNote, ChildProcess::Stream::Error));
  child.Signal(SIGINT);
  const ChildResult result = child.Finish();

  EXPECT_EQ(result.exitStatus, 130);
  EXPECT_EQ(result.ErrorLines(), (Lines{kStopNote, "ostrel-publish: stopped at once"}));
  EXPECT_EQ(result.OutputLines().back().rfind("Copying: ", 0), 0u) << result.standardOutput;
}

TEST_F(PublishCommandTest, WithoutPasswordSourceItAsksOnTheTerminalWithoutEcho) {
  StartServer();
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.EchoIsOn());
  ChildProcess child(Command(RunOptions()), Environment(), terminal.Terminal());
  const std::string prompt = "Password for tester at " + server_->Host() + ": ";
  ASSERT_TRUE(child.WaitFor(prompt, ChildProcess::Stream::Error));
  terminal.Type(server_->Password() + "\n");
  const ChildResult result = child.Finish();

  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(result.standardError, prompt + "\n");
  EXPECT_EQ(WithoutSeconds(result.OutputLines()).back(), "3 copied, 0 skipped, 0 failed, 39 bytes");
  EXPECT_EQ(terminal.Echoed(), "");
  EXPECT_TRUE(terminal.EchoIsOn());
}

TEST_F(PublishCommandTest, AStopAtThePasswordPromptGivesTheTerminalBackAndNeverLogsOn) {
  StartServer();
  PseudoTerminal terminal;
  ChildProcess child(Command(RunOptions()), Environment(), terminal.Terminal());
  const std::string prompt = "Password for tester at " + server_->Host() + ": ";
  ASSERT_TRUE(child.WaitFor(prompt, ChildProcess::Stream::Error));
  child.Signal(SIGINT);
  const ChildResult result = child.Finish();

  EXPECT_EQ(result.exitStatus, 130);
  EXPECT_EQ(result.standardError, prompt + "\n");
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_TRUE(terminal.EchoIsOn());
  EXPECT_EQ(server_->CommandLog(), Lines{});
}

}  // namespace
}  // namespace ostrel
