#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {

// $HOME, else the home directory the user database gives.
std::filesystem::path UserHomeDirectory();

// One key of one section, as it is to be written.
struct SettingsEntry {
  std::string section;
  std::string key;
  std::string value;
};

// The settings file: an INI file read and written key by key, with nothing
// held in memory between operations. Values are stored as they are, without
// quoting or escaping; section and key names match without regard to letter
// case; every other section, key, comment and line of the file is kept when a
// key is written. A write replaces the file atomically.
class SettingsStore {
 public:
  // The environment variable that names another settings file, for scripts,
  // the demo and tests.
  static constexpr const char* kFileVariable = "OSTREL_SETTINGS_FILE";

  explicit SettingsStore(std::filesystem::path file);

  // The settings file both programs use: the one kFileVariable names, else
  // DefaultPath. The one place that decides it, so that the desktop program,
  // ostrel-publish and the run lock beside the file never disagree.
  static std::filesystem::path FileFor(const std::string& executablePath);
  // The file named after the executable plus ".INI" (ostrel.INI for the
  // executable ostrel, cut at the last ".") in the user's configuration
  // directory: $XDG_CONFIG_HOME, else ~/.config.
  static std::filesystem::path DefaultPath(const std::string& executablePath);

  const std::filesystem::path& File() const { return file_; }
  // What the user reads when a write failed.
  std::string WriteFailureMessage() const;

  // The stored integer (the decimal number the value begins with), or the
  // default when the key is absent.
  std::int32_t ReadSettingInt(const std::string& section, const std::string& key, std::int32_t defaultValue) const;
  // The stored text cut to 4,095 characters, or the default when absent.
  std::string ReadSettingString(const std::string& section, const std::string& key,
                                const std::string& defaultValue = {}) const;
  // False when the file could not be written; it then stays as it was.
  bool WriteSettingInt(const std::string& section, const std::string& key, std::int32_t value);
  bool WriteSettingString(const std::string& section, const std::string& key, const std::string& value);
  // Sets several keys of one section in one replacement of the file, so that
  // a crash leaves either all the old values or all the new ones.
  bool WriteSettings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& entries);
  // The same over several sections.
  bool WriteSettings(const std::vector<SettingsEntry>& entries);
  // A key removed, or with an empty key the whole section; false when the
  // file could not be written.
  bool RemoveSettings(const std::string& section, const std::string& key = {});

  std::vector<std::string> SectionNames() const;
  // The keys of a section with their values, in file order.
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& section) const;

 private:
  // One replacement of the file by what `edit` makes of its text.
  bool Replace(const std::function<std::string(const std::string& text)>& edit);

  std::filesystem::path file_;
};

}  // namespace ostrel
