#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsTable.h"

namespace ostrel {

enum class CommandAction { Publish, ShowHelp, ShowVersion, ListSites };

struct CommandLine {
  CommandAction action = CommandAction::Publish;
  // Stored settings replaced for this run, in the order given; a later one wins.
  std::vector<SettingOverride> overrides;
  std::optional<std::string> passwordFile;
  // Pattern files (--exclude-from), in the order given.
  std::vector<std::string> excludeFrom;
  // "SHA256:..." of a server certificate trusted for this run.
  std::optional<std::string> trustedCertificate;
  bool dryRun = false;
  bool quiet = false;
  // The live progress line: unset follows whether standard output is a terminal.
  std::optional<bool> progress;
  // The saved site whose values replace those of [Parameters].
  std::optional<std::string> site;
  // A file the run's log is appended to, beside the log every run keeps.
  std::optional<std::string> logFile;
  // The FTP commands and replies shown too.
  bool verbose = false;

  bool operator==(const CommandLine&) const = default;
};

// An option that is not a stored setting. This table, with the settings
// table, is what the parser accepts and what --help, the manual page and the
// bash completion show.
struct RunOptionDefinition {
  std::string_view shortName;    // "-n", or empty
  std::string_view name;         // without "--"
  std::string_view negatedName;  // the option that says the opposite, or empty
  std::string_view valueName;    // as help shows it: "PATH"; empty for a flag
  std::string_view help;         // may run over several lines
  void (*apply)(CommandLine& commandLine, const std::string& value, bool negated);
};

std::span<const RunOptionDefinition> RunOptions();

// Either the command line or, when the arguments are not acceptable, the
// reason in one sentence that names the offending option.
struct CommandLineParse {
  CommandLine commandLine;
  std::string error;
};

// Reads the arguments after the program name. Each value is given as
// "--option=value" or as "--option value"; the few options that take no value
// and are typed often also have a short form such as -n, one per argument. A later option
// wins over an earlier one. --help and --version win over everything else,
// but not over an argument that is not acceptable.
CommandLineParse ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace ostrel
