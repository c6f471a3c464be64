#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/settings/SettingsTable.h"

namespace ostrel {

enum class CommandAction { Publish, ShowHelp, ShowVersion };

struct CommandLine {
  CommandAction action = CommandAction::Publish;
  // Stored settings replaced for this run, in the order given; a later one wins.
  std::vector<SettingOverride> overrides;
  std::optional<std::string> passwordFile;
  // "SHA256:..." of a server certificate trusted for this run.
  std::optional<std::string> trustedCertificate;
  bool dryRun = false;
  bool quiet = false;

  bool operator==(const CommandLine&) const = default;
};

// Either the command line or, when the arguments are not acceptable, the
// reason in one sentence that names the offending option.
struct CommandLineParse {
  CommandLine commandLine;
  std::string error;
};

// Reads the arguments after the program name. Only long options exist; each
// value is given as "--option=value" or as "--option value". A later option
// wins over an earlier one. --help and --version win over everything else,
// but not over an argument that is not acceptable.
CommandLineParse ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace ostrel
