// ostrel-publish: the publishing run of the desktop program, without a
// window, for scripts, cron and CI.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ConsoleUserInterface.h"
#include "cli/HelpText.h"
#include "cli/PasswordSource.h"
#include "cli/StopSignals.h"
#include "engine/ExcludePatterns.h"
#include "engine/LocalTree.h"
#include "engine/Publisher.h"
#include "engine/RunLog.h"
#include "engine/RunSummary.h"
#include "platform/DisplayText.h"
#include "platform/StandardDescriptors.h"
#include "platform/Translation.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "settings/Sites.h"

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

// The settings of [Parameters], or of the site the command line names, with
// the options applied; false, with the reason shown, for a site not saved.
bool SettingsForRun(const SettingsStore& store, const CommandLine& commandLine, RunSettings& settings) {
  LoadSettings(store, settings);
  if (commandLine.site && !LoadSite(store, *commandLine.site, settings)) {
    std::fprintf(stderr, "%s%s\n", kMessagePrefix,
                 FormatText(Translate("there is no saved site \"%s\"; --list-sites lists them"),
                            {EscapeControlCharacters(*commandLine.site)})
                     .c_str());
    return false;
  }
  if (commandLine.action == CommandAction::Publish)
    for (const SettingOverride& override : commandLine.overrides) ApplyOverride(override, settings);
  return true;
}

// Each line whole, also when several connections talk at once.
void ShowTraceLine(const std::string& line) {
  static std::mutex mutex;
  const std::scoped_lock lock(mutex);
  std::fprintf(stderr, "%s\n", EscapeControlCharacters(line).c_str());
  std::fflush(stderr);
}

// Runs the publish with the console's lines, the run's log and the tally;
// the exit status.
int Publish(const CommandLine& commandLine, const SettingsStore& store, RunSettings& settings,
            const ExcludePatterns& excluded, RunLog& runLog, ConsoleUserInterface& console) {
  Publisher publisher(runLog, kProgramName);
  publisher.Mode = commandLine.dryRun ? PublishMode::DryRun : PublishMode::Publish;
  if (commandLine.verbose) publisher.Timeouts.trace = ShowTraceLine;
  console.Attach(publisher);
  console.trustedCertificate = [&](const std::string& site) {
    return commandLine.trustedCertificate.value_or(store.ReadSettingString(kCertificatesSection, site));
  };
  // Output for a log or a pipe stays line by line, without cursor movements;
  // so does a terminal that the FTP conversation is shown on.
  if (commandLine.progress.value_or(!commandLine.quiet && !commandLine.verbose && ::isatty(STDOUT_FILENO)))
    console.StartProgress(CountFilesToConsider(settings, excluded), settings.LocalDir);
  DirectStopRequestsTo(publisher.Running);
  const auto start = std::chrono::steady_clock::now();
  publisher.Running = 1;
  const RunResult result = publisher.RunPublishing(settings);
  publisher.Running = 0;
  console.EndProgress();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

  const std::string summary = FormatRunSummary(result, elapsed, publisher.Mode);
  runLog.End(summary);
  std::printf("%s\n", summary.c_str());
  std::fflush(stdout);
  if (result.stopped) return kExitStopped;
  return result.messagesShown > 0 || !result.finished ? kExitWithMessages : kExitFinished;
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
  const SettingsStore store(settingsFile);
  if (commandLine.action == CommandAction::ListSites) {
    for (const std::string& site : SiteNames(store)) std::printf("%s\n", EscapeControlCharacters(site).c_str());
    return kExitFinished;
  }
  RunSettings settings;
  if (!SettingsForRun(store, commandLine, settings)) return kExitBadOptions;
  if (commandLine.action == CommandAction::ShowHelp) {
    std::fputs(FormatHelp(settings, settingsFile).c_str(), stdout);
    return kExitFinished;
  }

  settings.ExcludeFrom = commandLine.excludeFrom;
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

  ConsoleUserInterface console(commandLine.quiet ? StatusLines::Hide : StatusLines::Show, kMessagePrefix);
  RunLog runLog(console);
  if (commandLine.logFile)
    if (const std::string problem = runLog.AppendTo(*commandLine.logFile); !problem.empty()) {
      std::fprintf(stderr, "%s%s\n", kMessagePrefix, problem.c_str());
      return kExitBadOptions;
    }
  // The log every run keeps is a help, not the run's purpose: without it the run goes on.
  if (const std::string problem = runLog.Begin(RunLogDirectory(), commandLine.site.value_or(settings.Host));
      !problem.empty())
    std::fprintf(stderr, "%s%s\n", kMessagePrefix, problem.c_str());
  return Publish(commandLine, store, settings, excluded, runLog, console);
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
