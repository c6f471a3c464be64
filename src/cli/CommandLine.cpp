#include "cli/CommandLine.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/ExcludePatterns.h"
#include "ftp/FtpTls.h"
#include "platform/Translation.h"

namespace ostrel {
namespace {

// clang-format off
constexpr RunOptionDefinition kRunOptions[] = {
    {{}, "password-file", {}, "PATH", Translatable("read the password from the first line of PATH"),
     [](CommandLine& line, const std::string& value, bool) { line.passwordFile = value; }},
    {{}, "trust-certificate", {}, "SHA256:...", Translatable("trust this server certificate for this run"),
     [](CommandLine& line, const std::string& value, bool) { line.trustedCertificate = value; }},
    {{}, "site", {}, "NAME", Translatable("take the settings of the saved site NAME; the\noptions here still replace them"),
     [](CommandLine& line, const std::string& value, bool) { line.site = value; }},
    {{}, "list-sites", {}, {}, Translatable("list the saved sites, one a line"),
     [](CommandLine& line, const std::string&, bool) {
       if (line.action == CommandAction::Publish) line.action = CommandAction::ListSites;
     }},
    {{}, "log-file", {}, "FILE", Translatable("append the run's log to FILE too (every run's\nlog is kept in $XDG_STATE_HOME/ostrel/logs)"),
     [](CommandLine& line, const std::string& value, bool) { line.logFile = value; }},
    {"-v", "verbose", {}, {}, Translatable("show the FTP commands and replies on standard\nerror too, the password as ******"),
     [](CommandLine& line, const std::string&, bool) { line.verbose = true; }},
    {{}, "exclude-from", {}, "FILE", Translatable("leave out what the patterns of FILE match, one a line"),
     [](CommandLine& line, const std::string& value, bool) { line.excludeFrom.push_back(value); }},
    {"-n", "dry-run", {}, {}, Translatable("log on and list; show what would be copied"),
     [](CommandLine& line, const std::string&, bool) { line.dryRun = true; }},
    {"-q", "quiet", {}, {}, Translatable("no status lines (messages and the tally stay)"),
     [](CommandLine& line, const std::string&, bool) { line.quiet = true; }},
    {{}, "progress", "no-progress", {},
     Translatable("a live progress line below the status lines, or\nnone; by default one when standard output is a\nterminal and neither --quiet nor -v is given"),
     [](CommandLine& line, const std::string&, bool negated) { line.progress = !negated; }},
    {"-h", "help", {}, {}, Translatable("show this text"),
     [](CommandLine& line, const std::string&, bool) { line.action = CommandAction::ShowHelp; }},
    {"-V", "version", {}, {}, Translatable("show the version"),
     [](CommandLine& line, const std::string&, bool) {
       if (line.action != CommandAction::ShowHelp) line.action = CommandAction::ShowVersion;
     }},
};
// clang-format on

const RunOptionDefinition* FindRunOption(std::string_view name, bool& negated) {
  for (const RunOptionDefinition& option : kRunOptions) {
    negated = !option.negatedName.empty() && option.negatedName == name;
    if (option.name == name || negated) return &option;
  }
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

std::span<const RunOptionDefinition> RunOptions() { return kRunOptions; }

CommandLineParse ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine commandLine;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    std::string argument = arguments[index];
    for (const RunOptionDefinition& option : kRunOptions)
      if (!option.shortName.empty() && argument == option.shortName) argument = "--" + std::string(option.name);
    if (argument.rfind("--", 0) != 0 || argument.size() == 2) {
      if (!argument.empty() && argument.front() == '-')
        return Refuse(FormatText(
            Translate("unknown option %s; the short ones are -n, -q, -v, -h and -V, one per argument"), {argument}));
      return Refuse(FormatText(
          Translate("unexpected argument \"%s\"; settings are given by options such as --local-dir DIR"), {argument}));
    }

    const std::size_t equals = argument.find('=');
    // Only the name is ever repeated in a message: the value may be a secret.
    const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (name == "password")
      return Refuse(
          Translate("--password is refused: a password on the command line can be read by every user of this "
                    "machine in the process list. Set OSTREL_PASSWORD, give --password-file PATH, or leave both "
                    "out to be asked on the terminal"));

    bool negated = false;
    const SettingDefinition* setting = FindSettingByOption(name, negated);
    const RunOptionDefinition* option = setting == nullptr ? FindRunOption(name, negated) : nullptr;
    if (setting == nullptr && option == nullptr) return Refuse(FormatText(Translate("unknown option --%s"), {name}));
    const bool takesValue = !(setting != nullptr ? setting->valueName : option->valueName).empty();

    std::string value;
    if (equals != std::string::npos) {
      if (!takesValue) return Refuse(FormatText(Translate("option --%s takes no value"), {name}));
      value = argument.substr(equals + 1);
    } else if (takesValue) {
      // A following option is far more likely a forgotten value than a value.
      if (index + 1 == arguments.size() || arguments[index + 1].rfind("--", 0) == 0)
        return Refuse(
            FormatText(Translate("option --%s needs a value (write --%s=VALUE for a value that begins with \"--\")"),
                       {name, name}));
      value = arguments[++index];
    }
    if (option != nullptr) {
      if (name == "trust-certificate" && NormalizeFingerprint(value).empty())
        return Refuse(Translate(
            "option --trust-certificate takes a SHA-256 fingerprint, such as SHA256:AB:CD:... (64 hex digits)"));
      option->apply(commandLine, value, negated);
    } else if (setting->IsNumber()) {
      const std::optional<std::int32_t> number = ParseNumber(value, setting->minimum, setting->maximum);
      if (!number)
        return Refuse(FormatText(Translate("option --%s takes a whole number from %s to %s"),
                                 {name, std::to_string(setting->minimum), std::to_string(setting->maximum)}));
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
