// Hostile names, replies and files must not steer the terminal, hang the program or expose the password.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ChildProcess.h"
#include "cli/ConsoleUserInterface.h"
#include "platform/DisplayText.h"
#include "settings/AtomicFile.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::Lines;

TEST(HardeningTest, ControlCharactersAreShownEscapedAndOtherBytesAsTheyAre) {
  const std::pair<std::string, std::string> cases[] = {{"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
                                                       {"a\r\nb\tc\x7f\x01\x1f", "a\\r\\nb\\tc\\x7f\\x01\\x1f"},
                                                       {"\xc0\xff\x80 ~ \xd0\xb6", "\xc0\xff\x80 ~ \xd0\xb6"}};
  for (const auto& [text, shown] : cases) EXPECT_EQ(EscapeControlCharacters(text), shown);
}

TEST(HardeningTest, ConsoleKeepsOnlyTheMessagesOwnLineBreaks) {
  ConsoleUserInterface console(StatusLines::Show, "p: ");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  console.ShowStatusAndProcessInput("Copying a\r\np: forged\x1b[2J", "");
  console.ShowMessage("Cannot copy file x\ty\n550 no\rfake\n550 \x1b[1mend");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Copying a\\r\\np: forged\\x1b[2J\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "p: Cannot copy file x\\ty\np: 550 no\\rfake\np: 550 \\x1b[1mend\n");
}

// Erased before every other line; a name in it escaped and cut from the left, never mid-character.
TEST(HardeningTest, ProgressLineStaysBelowEveryOtherLine) {
  ConsoleUserInterface console(StatusLines::Show, "p: ");
  const std::string erase = "\r\x1b[K", longName = std::string(90, 'x') + "\xd0\xb6";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  console.StartProgress(3, "/l");
  console.FileStarted("/l/d/a\x1b[2J");
  console.ShowStatusAndProcessInput("Copying: /l/d/a\x1b[2J", "0");
  console.ShowProgress(2, 2048, "2K");  // counts shown with the next line, not redrawn at once
  console.FileSettled("/l/d/a\x1b[2J", FileOutcome::Copied, {});
  console.FileStarted("/l/b");
  console.ShowStatusAndProcessInput("Skipping: /l/b", "2K");
  console.FileSettled("/l/b", FileOutcome::Skipped, {});
  console.ShowMessage("m");
  console.FileStarted("/l/" + longName);
  console.ShowStatusAndProcessInput("Copying: /l/" + longName, "2K");
  console.ShowProgress(3, 3072, "3K");
  console.FileSettled("/l/" + longName, FileOutcome::Copied, {});
  console.ShowStatusAndProcessInput("Finished.", "3K");
  console.EndProgress();
  const std::string second = erase + "2 of 3 files, 2.0 KiB, 0 B/s: b";
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Copying: /l/d/a\\x1b[2J\n" + erase + "0 of 3 files, 0 B, 0 B/s: d/a\\x1b[2J" + erase + "Skipping: /l/b\n" +
                second + erase + second + erase + "Copying: /l/" + longName + "\n" + erase +
                "2 of 3 files, 2.0 KiB, 0 B/s: ..." + longName.substr(45) + erase + "Finished.\n" + erase +
                "3 of 3 files, 3.0 KiB, 0 B/s" + erase);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "p: m\n");
}

Lines Environment(const fs::path& settings) {
  Lines environment = {"OSTREL_SETTINGS_FILE=" + settings.string(), "XDG_STATE_HOME=" + settings.parent_path().string(),
                       "OSTREL_PASSWORD=" + test::FtpTestServerOptions().password};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
  return environment;
}

TEST(HardeningTest, OnlySmallRegularFilesAreReadAndThePasswordFileOnlyWhenPrivate) {
  test::TempDirectory work;
  const fs::path settings = work.Path() / "ostrel.INI", password = work.Path() / "password";
  const std::string settingsError = "cannot read the settings file " + settings.string() + ": ";
  struct Case {
    std::string settingsKind, passwordKind, shownError;
    int exitStatus;
  } cases[] = {{"fifo", "0600", settingsError + "not a regular file", 2},
               {"zero", "0600", settingsError + "not a regular file", 2},
               {"big", "0600", settingsError + "larger than 1 MiB", 2},
               {"none", "fifo", "cannot read the password file " + password.string() + ": not a regular file", 2},
               {"none", "0640", "by other users; make it private with: chmod 600 " + password.string() + "\n", 2},
               {"none", "0604", "chmod 600 " + password.string(), 2},
               {"0644", "0600", "Local directory does not specified.", 1}};
  for (const Case& testCase : cases) {
    for (const auto& [path, kind] : {std::pair(settings, testCase.settingsKind), {password, testCase.passwordKind}}) {
      EXPECT_TRUE(kind != "fifo" || mkfifo(path.c_str(), 0600) == 0);
      if (kind == "zero") fs::create_symlink("/dev/zero", path);
      if (kind == "big") test::WriteFile(path, std::string(kLargestReadFile + 1, ';'));
      if (kind[0] != '0') continue;
      test::WriteFile(path, "[Parameters]\n");
      fs::permissions(path, static_cast<fs::perms>(std::stoi(kind, nullptr, 8)));
    }
    test::ChildProcess child({OSTREL_PUBLISH_EXECUTABLE, "--password-file", password}, Environment(settings));
    EXPECT_EQ(child.Finish(), testCase.exitStatus) << testCase.settingsKind << testCase.passwordKind;
    fs::remove(settings), fs::remove(password);
    EXPECT_NE(child.Error().find(testCase.shownError), std::string::npos) << child.Error();
  }
}

// Started with standard error closed, the program must not make the FTP connection its standard error.
TEST(HardeningTest, MessagesGoNowhereWhenStandardErrorIsClosed) {
  test::FtpTestServer server;
  test::TempDirectory work;
  test::ChildProcess child(
      {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&-", OSTREL_PUBLISH_EXECUTABLE, "--local-dir", work.Path().string(),
       "--host", server.Host(), "--user", server.User(), "--remote-dir", "/missing"},
      Environment(work.Path() / "none.INI"));
  EXPECT_EQ(child.Finish(), 1);
  const Lines commands = server.CommandLog();
  EXPECT_NE(std::find(commands.begin(), commands.end(), "CWD /missing"), commands.end());
  for (const std::string& command : commands) EXPECT_EQ(command.find("ostrel-publish"), std::string::npos);
}

// A server that only ever says "120 ready soon" holds a run; one stop signal ends it within a second.
TEST(HardeningTest, OneStopSignalEndsAWaitOnAHostileServerPromptly) {
  test::FtpTestServer server({.faults = {"--hostile", "greeting"}});
  test::TempDirectory work;
  test::ChildProcess child(
      {OSTREL_PUBLISH_EXECUTABLE, "--local-dir", work.Path().string(), "--host", server.Host(), "--user", "u"},
      Environment(work.Path() / "none.INI"));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  child.Signal(SIGTERM);
  const auto signalled = std::chrono::steady_clock::now();
  EXPECT_EQ(child.Finish(), 3) << child.Error();
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
}

}  // namespace
}  // namespace ostrel
