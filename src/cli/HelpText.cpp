#include "cli/HelpText.h"


#include "publish/Publisher.h"

namespace ostrel {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
std::string OnOff(std::int32_t flag) { return flag ? "on" : "off"; }

constexpr std::size_t kDescriptionColumn = 30;

// "  --option   description", the description on a line of its own when the
// option is too long, then the current value below the description.
std::string OptionLine(const std::string& option, const std::string& meaning, const std::string& value = {}) {
  std::string text = "  " + option;
  if (text.size() + 2 > kDescriptionColumn) text += "\n" + std::string(kDescriptionColumn, ' ');
  else text += std::string(kDescriptionColumn - text.size(), ' ');
  text += meaning + "\n";
  if (!value.empty()) text += std::string(kDescriptionColumn, ' ') + "now: " + value + "\n";
  return text;
}

}  // namespace

std::string FormatHelp(const Publisher& stored, const std::filesystem::path& settingsFile) {
  std::string help =
      "Usage: ostrel-publish [OPTION]...\n"
      "Publishes a local directory tree to an FTP site with the settings of the Ostrel\n"
      "desktop program. Each option replaces one setting for this run only; the\n"
      "settings file is never written.\n"
      "\n"
      "Settings file: " + settingsFile.string() + " (another one: OSTREL_SETTINGS_FILE=PATH)\n"
      "\n";
  help += OptionLine("--local-dir DIR", "local directory to publish", Quoted(stored.LocalDir));
  help += OptionLine("--host HOST", "FTP site, as NAME or NAME:PORT", Quoted(stored.Host));
  help += OptionLine("--user NAME", "user name for the logon", Quoted(stored.Name));
  help += OptionLine("--remote-dir DIR", "remote directory that receives the tree", Quoted(stored.RemoteDir));
  help += OptionLine("--recurse, --no-recurse", "publish subdirectories too", OnOff(stored.Recurse));
  help += OptionLine("--skip-special-dirs, --no-skip-special-dirs",
                     "leave out directories whose name begins with _", OnOff(stored.SkipSpecialDirs));
  help += OptionLine("--update-only, --no-update-only", "copy only files newer than the remote copy",
                     OnOff(stored.UpdateOnly));
  help += OptionLine("--xcode, --no-xcode", "recode listed files from Windows-1251 to KOI8-R",
                     OnOff(stored.Xcode));
  help += OptionLine("--xcode-extensions LIST", "extensions of the files to recode",
                     Quoted(stored.XCodeExtenstions));
  help += OptionLine("--no-qmarks, --qmarks", "characters KOI8-R lacks become spaces, or \"?\"",
                     stored.NoQMarks ? "--no-qmarks" : "--qmarks");
  help += "\n";
  help += OptionLine("--password-file PATH", "read the password from the first line of PATH");
  help += OptionLine("--dry-run", "log on and list; show what would be copied");
  help += OptionLine("--quiet", "no status lines (messages and the tally stay)");
  help += OptionLine("--help", "show this text");
  help += OptionLine("--version", "show the version");
  help +=
      "\n"
      "Values are given as --option VALUE or --option=VALUE.\n"
      "\n"
      "The password is taken from --password-file PATH, else from the environment\n"
      "variable OSTREL_PASSWORD, else asked for on the terminal when standard input is\n"
      "one; otherwise it is empty. It is never accepted as an option, because the\n"
      "command line of a process can be read by every user of the machine.\n"
      "\n"
      "SIGINT (Ctrl-C) or SIGTERM stops the run after the file being copied; a second\n"
      "one stops the program at once.\n"
      "\n"
      "Exit status: 0 when the run finished without any message, 1 when it showed a\n"
      "message (a file not copied, a failed logon, a missing directory), 2 for options\n"
      "that are not acceptable.\n";
  return help;
}

}  // namespace ostrel
