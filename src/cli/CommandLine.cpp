#include "cli/CommandLine.h"

#include <string_view>

#include "publish/Publisher.h"

namespace ostrel {
namespace {

struct OptionDefinition {
  std::string_view name;
  bool takesValue;
  void (*apply)(CommandLine& commandLine, const std::string& value);
};

constexpr OptionDefinition kOptions[] = {
    {"local-dir", true, [](CommandLine& line, const std::string& value) { line.overrides.LocalDir = value; }},
    {"host", true, [](CommandLine& line, const std::string& value) { line.overrides.Host = value; }},
    {"user", true, [](CommandLine& line, const std::string& value) { line.overrides.Name = value; }},
    {"remote-dir", true, [](CommandLine& line, const std::string& value) { line.overrides.RemoteDir = value; }},
    {"recurse", false, [](CommandLine& line, const std::string&) { line.overrides.Recurse = 1; }},
    {"no-recurse", false, [](CommandLine& line, const std::string&) { line.overrides.Recurse = 0; }},
    {"skip-special-dirs", false, [](CommandLine& line, const std::string&) { line.overrides.SkipSpecialDirs = 1; }},
    {"no-skip-special-dirs", false,
     [](CommandLine& line, const std::string&) { line.overrides.SkipSpecialDirs = 0; }},
    {"update-only", false, [](CommandLine& line, const std::string&) { line.overrides.UpdateOnly = 1; }},
    {"no-update-only", false, [](CommandLine& line, const std::string&) { line.overrides.UpdateOnly = 0; }},
    {"xcode", false, [](CommandLine& line, const std::string&) { line.overrides.Xcode = 1; }},
    {"no-xcode", false, [](CommandLine& line, const std::string&) { line.overrides.Xcode = 0; }},
    {"xcode-extensions", true,
     [](CommandLine& line, const std::string& value) { line.overrides.XCodeExtenstions = value; }},
    // The stored flag is NoQMarks, so --no-qmarks turns it on.
    {"no-qmarks", false, [](CommandLine& line, const std::string&) { line.overrides.NoQMarks = 1; }},
    {"qmarks", false, [](CommandLine& line, const std::string&) { line.overrides.NoQMarks = 0; }},
    {"password-file", true, [](CommandLine& line, const std::string& value) { line.passwordFile = value; }},
    {"dry-run", false, [](CommandLine& line, const std::string&) { line.dryRun = true; }},
    {"quiet", false, [](CommandLine& line, const std::string&) { line.quiet = true; }},
    {"help", false, [](CommandLine& line, const std::string&) { line.action = CommandAction::ShowHelp; }},
    {"version", false,
     [](CommandLine& line, const std::string&) {
       if (line.action != CommandAction::ShowHelp) line.action = CommandAction::ShowVersion;
     }},
};

const OptionDefinition* FindOption(std::string_view name) {
  for (const OptionDefinition& option : kOptions)
    if (option.name == name) return &option;
  return nullptr;
}

CommandLineParse Refuse(std::string reason) { return {CommandLine{}, std::move(reason)}; }

}  // namespace

CommandLineParse ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine commandLine;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (argument.rfind("--", 0) != 0 || argument.size() == 2) {
      if (!argument.empty() && argument.front() == '-')
        return Refuse("unknown option " + argument + "; every option has a long name such as --help");
      return Refuse("unexpected argument \"" + argument +
                    "\"; settings are given by options such as --local-dir DIR");
    }

    const std::size_t equals = argument.find('=');
    // Only the name is ever repeated in a message: the value may be a secret.
    const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (name == "password")
      return Refuse(
          "--password is refused: a password on the command line can be read by every user of this "
          "machine in the process list. Set OSTREL_PASSWORD, give --password-file PATH, or leave both "
          "out to be asked on the terminal");

    const OptionDefinition* option = FindOption(name);
    if (option == nullptr) return Refuse("unknown option --" + name);

    std::string value;
    if (equals != std::string::npos) {
      if (!option->takesValue) return Refuse("option --" + name + " takes no value");
      value = argument.substr(equals + 1);
    } else if (option->takesValue) {
      // A following option is far more likely a forgotten value than a value.
      if (index + 1 == arguments.size() || arguments[index + 1].rfind("--", 0) == 0)
        return Refuse("option --" + name + " needs a value (write --" + name +
                      "=VALUE for a value that begins with \"--\")");
      value = arguments[++index];
    }
    option->apply(commandLine, value);
  }
  return {commandLine, {}};
}

void ApplyOverrides(const SettingOverrides& overrides, Publisher& publisher) {
  if (overrides.LocalDir) publisher.LocalDir = *overrides.LocalDir;
  if (overrides.Host) publisher.Host = *overrides.Host;
  if (overrides.Name) publisher.Name = *overrides.Name;
  if (overrides.RemoteDir) publisher.RemoteDir = *overrides.RemoteDir;
  if (overrides.SkipSpecialDirs) publisher.SkipSpecialDirs = *overrides.SkipSpecialDirs;
  if (overrides.XCodeExtenstions) publisher.XCodeExtenstions = *overrides.XCodeExtenstions;
  if (overrides.Xcode) publisher.Xcode = *overrides.Xcode;
  if (overrides.NoQMarks) publisher.NoQMarks = *overrides.NoQMarks;
  if (overrides.UpdateOnly) publisher.UpdateOnly = *overrides.UpdateOnly;
  if (overrides.Recurse) publisher.Recurse = *overrides.Recurse;
}

}  // namespace ostrel
