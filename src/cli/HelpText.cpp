#include "cli/HelpText.h"

#include "cli/CommandLine.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"
#include "settings/RunSettings.h"
#include "settings/SettingsTable.h"

namespace ostrel {
namespace {

constexpr std::size_t kDescriptionColumn = 30;

// "  --option   description", the description on a line of its own when the
// option is too long, then the current value below the description.
std::string OptionLine(const std::string& option, const std::string& meaning, const std::string& value = {}) {
  std::string text = "  " + option;
  if (text.size() + 2 > kDescriptionColumn)
    text += "\n" + std::string(kDescriptionColumn, ' ');
  else
    text += std::string(kDescriptionColumn - text.size(), ' ');
  // A meaning of several lines keeps to its column.
  for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = meaning.find('\n', start);
    if (start > 0) text += std::string(kDescriptionColumn, ' ');
    text += meaning.substr(start, end == std::string::npos ? std::string::npos : end - start) + "\n";
  }
  if (!value.empty()) text += std::string(kDescriptionColumn, ' ') + Translate("now: ") + value + "\n";
  return text;
}

}  // namespace

std::string FormatHelp(const RunSettings& stored, const std::filesystem::path& settingsFile) {
  std::string help =
      FormatText(Translate("Usage: ostrel-publish [OPTION]...\n"
                           "Publishes a local directory tree to an FTP site with the settings of the Ostrel\n"
                           "desktop program. Each option replaces one setting for this run only; the\n"
                           "settings file is never written.\n"
                           "\n"
                           "Settings file: %s (another one: OSTREL_SETTINGS_FILE=PATH)\n"
                           "\n"),
                 {EscapeControlCharacters(settingsFile.string())});
  help += Translate("The values shown are those of [Parameters], or of the site --site names.\n");
  help += "\n";
  for (const SettingDefinition& setting : StoredSettings()) {
    const std::string option(setting.option);
    if (setting.IsNumber()) {
      help += OptionLine("--" + option + " " + std::string(setting.valueName), Translate(setting.help),
                         SettingText(setting, stored));
    } else if (!setting.valueName.empty()) {
      help += OptionLine("--" + option + " " + std::string(setting.valueName), Translate(setting.help),
                         "\"" + EscapeControlCharacters(SettingText(setting, stored)) + "\"");
    } else {
      // A flag shows the option that gives its present value.
      const std::string negated(setting.negatedOption);
      const bool on = SettingText(setting, stored) != "0";
      help += OptionLine("--" + option + ", --" + negated, Translate(setting.help), "--" + (on ? option : negated));
    }
  }
  help += "\n";
  for (const RunOptionDefinition& option : RunOptions()) {
    std::string names = option.shortName.empty() ? "" : std::string(option.shortName) + ", ";
    names += "--" + std::string(option.name);
    if (!option.negatedName.empty()) names += ", --" + std::string(option.negatedName);
    if (!option.valueName.empty()) names += " " + std::string(option.valueName);
    help += OptionLine(names, Translate(option.help));
  }
  help += "\n";
  help += Translate("Values are given as --option VALUE or --option=VALUE.\n");
  help += "\n";
  help += Translate(
      "The password is taken from --password-file PATH, else from the environment\n"
      "variable OSTREL_PASSWORD, else asked for on the terminal when standard input is\n"
      "one; otherwise it is empty. It is never accepted as an option, because the\n"
      "command line of a process can be read by every user of the machine.\n");
  help += "\n";
  help += Translate(
      "The FTP site is NAME or NAME:PORT (TLS where the server offers it, plain FTP\n"
      "otherwise), ftpes://NAME[:PORT] (TLS required), ftps://NAME[:PORT] (implicit\n"
      "TLS, port 990 unless given) or ftp://NAME[:PORT] (plain FTP only). The\n"
      "server's certificate is checked against the system's trust store and the\n"
      "name; one that fails stops the run before the password is sent and shows\n"
      "its fingerprint. Trust it with --trust-certificate SHA256:..., or for good\n"
      "in the settings file: section [Certificates], NAME:PORT=SHA256:...\n");
  help += "\n";
  help += Translate(
      "Exclusion patterns follow .gitignore: *, ?, [...] within a name, ** across\n"
      "directories, a leading / anchors to the local directory, a trailing / means\n"
      "directories only, ! takes an exclusion back, the last match decides. They come\n"
      "from the local directory's .ostrelignore (never uploaded), then the Exclude\n"
      "setting (each --exclude adds one), then each --exclude-from FILE. What they\n"
      "leave out is neither uploaded nor deleted.\n");
  help += "\n";
  help += Translate(
      "With --delete, remote files and directories that the local directory lacks\n"
      "are deleted once every file has arrived, only in directories the run visited\n"
      "and listed whole; never names beginning with \".\", nor what a rule leaves out.\n"
      "Nothing is deleted when a file failed, when the run was stopped, or when the\n"
      "local directory is empty; more than --max-delete N deletes none and exits with\n"
      "status 1. A pattern refused or a pattern file unreadable exits with status 2.\n");
  help += "\n";
  help += Translate(
      "Every run keeps its log, each line with its time, in a file of its own in\n"
      "$XDG_STATE_HOME/ostrel/logs (else ~/.local/state/ostrel/logs); the last 30\n"
      "stay.\n");
  help += "\n";
  help += Translate(
      "SIGINT (Ctrl-C) or SIGTERM stops the run after the file being copied; a second\n"
      "one stops the program at once, the upload in progress aborted (the page on the\n"
      "server stays as it was).\n");
  help += "\n";
  help += Translate(
      "Exit status: 0 when the run finished without any message, 1 when it showed a\n"
      "message (a file not copied, a failed logon, a missing directory, another\n"
      "publish to the same site and remote directory still running), 2 for options\n"
      "that are not acceptable, a site that is not saved, a log file that cannot be\n"
      "written and a settings or password file that cannot be read or is refused,\n"
      "3 when a stop request ended the run early.\n");
  return help;
}

}  // namespace ostrel
