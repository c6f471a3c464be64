#include "settings/SettingsTable.h"

#include <algorithm>
#include <array>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/Translation.h"
#include "settings/SettingsStore.h"

namespace ostrel {
namespace {

using Group = SettingGroup;

// One setting a line reads as the table it is.
// clang-format off
constexpr std::array kSettings = {
    //               key                 group              member                          option               negated option          value   help
    SettingDefinition{"LocalDir",         Group::Connection, &RunSettings::LocalDir,         "local-dir",         {},                     "DIR",  Translatable("local directory to publish")},
    SettingDefinition{"Host",             Group::Connection, &RunSettings::Host,             "host",              {},                     "HOST", Translatable("FTP site: NAME[:PORT], or after ftpes://, ftps://, ftp://")},
    SettingDefinition{"Name",             Group::Connection, &RunSettings::Name,             "user",              {},                     "NAME", Translatable("user name for the logon")},
    SettingDefinition{"RemoteDir",        Group::Connection, &RunSettings::RemoteDir,        "remote-dir",        {},                     "DIR",  Translatable("remote directory that receives the tree")},
    SettingDefinition{"SkipSpecialDirs",  Group::Option,     &RunSettings::SkipSpecialDirs,  "skip-special-dirs", "no-skip-special-dirs", {},     Translatable("leave out directories whose name begins with _")},
    SettingDefinition{"XCodeExtenstions", Group::Option,     &RunSettings::XCodeExtenstions, "xcode-extensions",  {},                     "LIST", Translatable("extensions of the files to recode")},
    SettingDefinition{"Xcode",            Group::Option,     &RunSettings::Xcode,            "xcode",             "no-xcode",             {},     Translatable("recode listed files from Windows-1251 to KOI8-R")},
    // The stored flag is NoQMarks, so --no-qmarks turns it on.
    SettingDefinition{"NoQMarks",         Group::Option,     &RunSettings::NoQMarks,         "no-qmarks",         "qmarks",               {},     Translatable("characters KOI8-R lacks become spaces (--qmarks: \"?\")")},
    SettingDefinition{"UpdateOnly",       Group::Option,     &RunSettings::UpdateOnly,       "update-only",       "no-update-only",       {},     Translatable("copy only files newer than the remote copy")},
    SettingDefinition{"Recurse",          Group::Option,     &RunSettings::Recurse,          "recurse",           "no-recurse",           {},     Translatable("publish subdirectories too")},
    SettingDefinition{"Passive",          Group::Option,     &RunSettings::Passive,          "passive",           "active",               {},     Translatable("open data connections passive first, the default (--active: active first)")},
    SettingDefinition{"Connections",      Group::Option,     &RunSettings::Connections,      "connections",       {},                     "N",    Translatable("connections to use at once, 1 to 16: one walks, the others upload"),
                      kMinimumConnections, kMaximumConnections},
    SettingDefinition{"DeleteRemote",     Group::Option,     &RunSettings::DeleteRemote,     "delete",            "no-delete",            {},     Translatable("delete remote files the local directory lacks")},
    SettingDefinition{"MaxDelete",        Group::Option,     &RunSettings::MaxDelete,        "max-delete",        {},                     "N",    Translatable("delete none when more than N would go (0: no limit)"),
                      0, std::numeric_limits<std::int32_t>::max()},
    SettingDefinition{"Exclude",          Group::Option,     &RunSettings::Exclude,          "exclude",           {},                     "PATTERN", Translatable("add a pattern of what to leave out (.gitignore)"),
                      0, 0, ";"},
};
// clang-format on

}  // namespace

std::span<const SettingDefinition> StoredSettings() { return kSettings; }

const SettingDefinition* FindSettingByOption(std::string_view option, bool& negated) {
  for (const SettingDefinition& setting : kSettings) {
    negated = !setting.negatedOption.empty() && setting.negatedOption == option;
    if (setting.option == option || negated) return &setting;
  }
  return nullptr;
}

void ApplyOverride(const SettingOverride& override, RunSettings& settings) {
  std::visit(
      [&](auto member) {
        using Value = std::remove_reference_t<decltype(settings.*member)>;
        Value& value = settings.*member;
        if constexpr (std::is_same_v<Value, std::string>) {
          if (!override.setting->listSeparator.empty() && !value.empty()) {
            value += std::string(override.setting->listSeparator) + std::get<Value>(override.value);
            return;
          }
        }
        value = std::get<Value>(override.value);
      },
      override.setting->member);
}

void LoadSettings(const SettingsStore& store, RunSettings& settings, const std::string& section) {
  const RunSettings defaults;
  for (const SettingDefinition& setting : kSettings) {
    if (const auto text = std::get_if<std::string RunSettings::*>(&setting.member))
      settings.** text = store.ReadSettingString(section, std::string(setting.key), defaults.**text);
    else {
      const auto flag = std::get<std::int32_t RunSettings::*>(setting.member);
      settings.*flag = store.ReadSettingInt(section, std::string(setting.key), defaults.*flag);
      if (setting.IsNumber()) settings.*flag = std::clamp(settings.*flag, setting.minimum, setting.maximum);
    }
  }
}

std::string SettingText(const SettingDefinition& setting, const RunSettings& settings) {
  if (const auto text = std::get_if<std::string RunSettings::*>(&setting.member)) return settings.**text;
  return std::to_string(settings.*std::get<std::int32_t RunSettings::*>(setting.member));
}

bool SaveSettings(SettingsStore& store, const RunSettings& settings, SettingGroup group) {
  return store.WriteSettings(GroupEntries(settings, group, kSettingsSection));
}

std::vector<SettingsEntry> GroupEntries(const RunSettings& settings, SettingGroup group, const std::string& section) {
  std::vector<SettingsEntry> entries;
  for (const SettingDefinition& setting : kSettings)
    if (setting.group == group) entries.push_back({section, std::string(setting.key), SettingText(setting, settings)});
  return entries;
}

void CopySettings(const RunSettings& from, RunSettings& to, SettingGroup group) {
  for (const SettingDefinition& setting : kSettings)
    if (setting.group == group) std::visit([&](auto member) { to.*member = from.*member; }, setting.member);
}

}  // namespace ostrel
