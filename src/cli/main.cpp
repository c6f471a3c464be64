// ostrel-publish: the publishing run of the desktop program, without a
// window, for scripts, cron and CI.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ConsoleUserInterface.h"
#include "cli/HelpText.h"
#include "cli/PasswordSource.h"
#include "cli/RunSummary.h"
#include "cli/StopSignals.h"
#include "engine/ExcludePatterns.h"
#include "engine/LocalTree.h"
#include "engine/Publisher.h"
#include "platform/DisplayText.h"
#include "platform/StandardDescriptors.h"
#include "platform/Translation.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace ostrel {
namespace {

constexpr const char* kProgramName = "ostrel-publish";
constexpr const char* kMessagePrefix = "ostrel-publish: ";
constexpr int kExitFinished = 0;
constexpr int kExitWithMessages = 1;
constexpr int kExitBadOptions = 2;

// Empty when the user stopped the program at the prompt.
std::optional<std::string> ObtainPassword(const CommandLine& commandLine, const RunSettings& settings) {
  if (commandLine.passwordFile) return ReadPasswordFile(*commandLine.passwordFile);
  if (const char* password = std::getenv(kPasswordVariable)) return std::string(password);
  // A run that will not log on (no host, no local directory) needs no password.
  const bool willLogOn = !settings.Host.empty() && !settings.LocalDir.empty();
  if (willLogOn && ::isatty(STDIN_FILENO))
    return PromptForPassword(
        FormatText(Translate("Password for %s at %s: "),
                   {EscapeControlCharacters(settings.Name), EscapeControlCharacters(settings.Host)}));
  // As the dialog does with an empty password box.
  return std::string();
}

int Run(const std::vector<std::string>& arguments) {
  const CommandLineParse parse = ParseCommandLine(arguments);
  if (!parse.error.empty()) {
    std::fprintf(stderr, "%s%s\n", kMessagePrefix, parse.error.c_str());
    std::fprintf(stderr, Translate("Try '%s --help'.\n"), kProgramName);
    return kExitBadOptions;
  }
  const CommandLine& commandLine = parse.commandLine;
  if (commandLine.action == CommandAction::ShowVersion) {
    std::printf("%s %s\n", kProgramName, OSTREL_VERSION);
    return kExitFinished;
  }

  // The desktop program's own settings file, so that both publish alike.
  const std::filesystem::path settingsFile = SettingsStore::FileFor("ostrel");
  // A settings file that is there but unreadable would silently give the
  // defaults: another site, another directory. Better to stop and say why.
  if (const SmallFileRead settings = ReadSmallRegularFile(settingsFile); !settings.missing && !settings.contents) {
    std::fprintf(stderr, "%s%s\n", kMessagePrefix,
                 FormatText(Translate("cannot read the settings file %s: %s"),
                            {EscapeControlCharacters(settingsFile.string()), settings.problem})
                     .c_str());
    return kExitBadOptions;
  }
  ConsoleUserInterface console(commandLine.quiet ? StatusLines::Hide : StatusLines::Show, kMessagePrefix);
  Publisher publisher(console, kProgramName);
  RunSettings settings;
  LoadSettings(SettingsStore(settingsFile), settings);
  if (commandLine.action == CommandAction::ShowHelp) {
    std::fputs(FormatHelp(settings, settingsFile).c_str(), stdout);
    return kExitFinished;
  }
  for (const SettingOverride& override : commandLine.overrides) ApplyOverride(override, settings);
  settings.ExcludeFrom = commandLine.excludeFrom;
  publisher.Mode = commandLine.dryRun ? PublishMode::DryRun : PublishMode::Publish;
  // Read as the run will read them, so that a pattern refused or a pattern
  // file unreadable stops the program before the password is asked for.
  ExcludePatterns excluded;
  if (const std::string problem = LoadExcludePatterns(settings, excluded); !problem.empty()) {
    std::fprintf(stderr, "%s%s\n", kMessagePrefix, problem.c_str());
    return kExitBadOptions;
  }

  // A reader of the output that goes away must not kill a run in the middle
  // of a file; a write to it then just fails.
  std::signal(SIGPIPE, SIG_IGN);
  InstallStopSignalHandlers();

  std::optional<std::string> password;
  try {
    password = ObtainPassword(commandLine, settings);
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "%s%s\n", kMessagePrefix, EscapeControlCharacters(error.what()).c_str());
    return kExitBadOptions;
  }
  if (!password) return 128 + StopSignalNumber();
  settings.Password = std::move(*password);

  console.Attach(publisher);
  const SettingsStore store(settingsFile);
  console.trustedCertificate = [&](const std::string& site) {
    return commandLine.trustedCertificate.value_or(store.ReadSettingString(kCertificatesSection, site));
  };
  // Output for a log or a pipe stays line by line, without cursor movements.
  if (commandLine.progress.value_or(!commandLine.quiet && ::isatty(STDOUT_FILENO)))
    console.StartProgress(CountFilesToConsider(settings, excluded), settings.LocalDir);
  DirectStopRequestsTo(publisher.Running);
  const auto start = std::chrono::steady_clock::now();
  publisher.Running = 1;
  const RunResult result = publisher.RunPublishing(settings);
  publisher.Running = 0;
  console.EndProgress();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

  std::printf("%s\n", FormatRunSummary(result, elapsed, publisher.Mode).c_str());
  std::fflush(stdout);
  if (result.stopped) return kExitStopped;
  return result.messagesShown > 0 || !result.finished ? kExitWithMessages : kExitFinished;
}

}  // namespace
}  // namespace ostrel

int main(int argc, char* argv[]) {
  ostrel::OpenClosedStandardDescriptors();
  ostrel::StartTranslation(ostrel::TranslationOutput::LocaleCharset);
  try {
    return ostrel::Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s%s\n", ostrel::kMessagePrefix, ostrel::EscapeControlCharacters(error.what()).c_str());
    return ostrel::kExitWithMessages;
  }
}
