#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

class Publisher;

// The stored settings that options replace for one run. An empty optional
// keeps the value of the settings file.
struct SettingOverrides {
  std::optional<std::string> LocalDir;
  std::optional<std::string> Host;
  std::optional<std::string> Name;
  std::optional<std::string> RemoteDir;
  std::optional<std::int32_t> SkipSpecialDirs;
  std::optional<std::string> XCodeExtenstions;
  std::optional<std::int32_t> Xcode;
  std::optional<std::int32_t> NoQMarks;
  std::optional<std::int32_t> UpdateOnly;
  std::optional<std::int32_t> Recurse;

  bool operator==(const SettingOverrides&) const = default;
};

enum class CommandAction { Publish, ShowHelp, ShowVersion };

struct CommandLine {
  CommandAction action = CommandAction::Publish;
  SettingOverrides overrides;
  std::optional<std::string> passwordFile;
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

// Replaces the run settings that the command line names.
void ApplyOverrides(const SettingOverrides& overrides, Publisher& publisher);

}  // namespace ostrel
