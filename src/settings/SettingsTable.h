#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/RunSettings.h"
#include "settings/SettingsStore.h"

namespace ostrel {

inline constexpr const char* kSettingsSection = "Parameters";
// Fingerprints of server certificates the user trusts: "host:port=SHA256:...".
inline constexpr const char* kCertificatesSection = "Certificates";

// When a setting is written: the connection values when a run starts and when
// the program closes, the options when the options dialog is confirmed.
enum class SettingGroup { Connection, Option };

// One stored setting: its key in the settings file, the run setting it feeds
// (whose initial value is the default), and how ostrel-publish overrides it.
struct SettingDefinition {
  std::string_view key;
  SettingGroup group;
  std::variant<std::string RunSettings::*, std::int32_t RunSettings::*> member;
  // A text or number setting: "--option VALUE". A flag: "--option" turns it
  // on and "--negatedOption" off.
  std::string_view option;
  std::string_view negatedOption;
  std::string_view valueName;  // text and number settings, as help shows it: "DIR"
  std::string_view help;
  // A number setting's range; a stored value outside it is brought inside.
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  // A list setting: its items stand between these, and each option given
  // adds one to the stored ones instead of replacing them.
  std::string_view listSeparator = {};

  bool IsNumber() const { return std::holds_alternative<std::int32_t RunSettings::*>(member) && !valueName.empty(); }
};

// Every stored setting, in the order they are read and written.
std::span<const SettingDefinition> StoredSettings();
const SettingDefinition* FindSettingByOption(std::string_view option, bool& negated);

// A value that replaces one setting for one run.
struct SettingOverride {
  const SettingDefinition* setting = nullptr;
  std::variant<std::string, std::int32_t> value;

  bool operator==(const SettingOverride&) const = default;
};
void ApplyOverride(const SettingOverride& override, RunSettings& settings);

// Reads every stored setting of the section; an absent key gives the default.
// The password is left as it was: it is never stored.
void LoadSettings(const SettingsStore& store, RunSettings& settings, const std::string& section = kSettingsSection);
// Writes the group's settings in table order, as one replacement of the file.
// False when the file could not be written.
bool SaveSettings(SettingsStore& store, const RunSettings& settings, SettingGroup group);
// The group's settings as entries of the section, in table order.
std::vector<SettingsEntry> GroupEntries(const RunSettings& settings, SettingGroup group, const std::string& section);
// Copies the group's settings from one holder to another.
void CopySettings(const RunSettings& from, RunSettings& to, SettingGroup group);

// The value as the settings file holds it: the text, or the decimal number.
std::string SettingText(const SettingDefinition& setting, const RunSettings& settings);

}  // namespace ostrel
