#include "cli/CommandLine.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/ExcludePatterns.h"
#include "ftp/FtpTls.h"

namespace ostrel {
namespace {

// The options that are not stored settings.
struct OptionDefinition {
  std::string_view name;
  bool takesValue;
  void (*apply)(CommandLine& commandLine, const std::string& value);
};

constexpr OptionDefinition kOptions[] = {
    {"password-file", true, [](CommandLine& line, const std::string& value) { line.passwordFile = value; }},
    {"exclude-from", true, [](CommandLine& line, const std::string& value) { line.excludeFrom.push_back(value); }},
    {"trust-certificate", true, [](CommandLine& line, const std::string& value) { line.trustedCertificate = value; }},
    {"dry-run", false, [](CommandLine& line, const std::string&) { line.dryRun = true; }},
    {"quiet", false, [](CommandLine& line, const std::string&) { line.quiet = true; }},
    {"progress", false, [](CommandLine& line, const std::string&) { line.progress = true; }},
    {"no-progress", false, [](CommandLine& line, const std::string&) { line.progress = false; }},
    {"help", false, [](CommandLine& line, const std::string&) { line.action = CommandAction::ShowHelp; }},
    {"version", false,
     [](CommandLine& line, const std::string&) {
       if (line.action != CommandAction::ShowHelp) line.action = CommandAction::ShowVersion;
     }},
};

// The short forms, each standing for its long option.
constexpr std::pair<std::string_view, std::string_view> kShortOptions[] = {
    {"-n", "--dry-run"}, {"-q", "--quiet"}, {"-h", "--help"}, {"-V", "--version"}};

const OptionDefinition* FindOption(std::string_view name) {
  for (const OptionDefinition& option : kOptions)
    if (option.name == name) return &option;
  return nullptr;
}

CommandLineParse Refuse(std::string reason) { return {CommandLine{}, std::move(reason)}; }

// Plain decimal digits within the range; anything else ("4x", "+4", "") is no number.
std::optional<std::int32_t> ParseNumber(std::string_view text, std::int32_t minimum, std::int32_t maximum) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < minimum || value > maximum) return std::nullopt;
  return value;
}

}  // namespace

CommandLineParse ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine commandLine;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    std::string argument = arguments[index];
    for (const auto& [shortName, longName] : kShortOptions)
      if (argument == shortName) argument = longName;
    if (argument.rfind("--", 0) != 0 || argument.size() == 2) {
      if (!argument.empty() && argument.front() == '-')
        return Refuse("unknown option " + argument + "; the short ones are -n, -q, -h and -V, one per argument");
      return Refuse("unexpected argument \"" + argument + "\"; settings are given by options such as --local-dir DIR");
    }

    const std::size_t equals = argument.find('=');
    // Only the name is ever repeated in a message: the value may be a secret.
    const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (name == "password")
      return Refuse(
          "--password is refused: a password on the command line can be read by every user of this "
          "machine in the process list. Set OSTREL_PASSWORD, give --password-file PATH, or leave both "
          "out to be asked on the terminal");

    bool negated = false;
    const SettingDefinition* setting = FindSettingByOption(name, negated);
    const OptionDefinition* option = setting == nullptr ? FindOption(name) : nullptr;
    if (setting == nullptr && option == nullptr) return Refuse("unknown option --" + name);
    const bool takesValue = setting != nullptr ? !setting->valueName.empty() : option->takesValue;

    std::string value;
    if (equals != std::string::npos) {
      if (!takesValue) return Refuse("option --" + name + " takes no value");
      value = argument.substr(equals + 1);
    } else if (takesValue) {
      // A following option is far more likely a forgotten value than a value.
      if (index + 1 == arguments.size() || arguments[index + 1].rfind("--", 0) == 0)
        return Refuse("option --" + name + " needs a value (write --" + name +
                      "=VALUE for a value that begins with \"--\")");
      value = arguments[++index];
    }
    if (option != nullptr) {
      if (name == "trust-certificate" && NormalizeFingerprint(value).empty())
        return Refuse(
            "option --trust-certificate takes a SHA-256 fingerprint, such as SHA256:AB:CD:... (64 hex digits)");
      option->apply(commandLine, value);
    } else if (setting->IsNumber()) {
      const std::optional<std::int32_t> number = ParseNumber(value, setting->minimum, setting->maximum);
      if (!number)
        return Refuse("option --" + name + " takes a whole number from " + std::to_string(setting->minimum) + " to " +
                      std::to_string(setting->maximum));
      commandLine.overrides.push_back({setting, *number});
    } else if (takesValue) {
      // Told at once, before any password prompt: a refused pattern would
      // stop the run anyway.
      if (name == "exclude")
        if (const std::string problem = ExcludePatternProblem(value, "--exclude"); !problem.empty())
          return Refuse(problem);
      commandLine.overrides.push_back({setting, value});
    } else {
      commandLine.overrides.push_back({setting, std::int32_t{negated ? 0 : 1}});
    }
  }
  return {commandLine, {}};
}

}  // namespace ostrel
