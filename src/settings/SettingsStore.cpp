#include "settings/SettingsStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Translation.h"
#include "settings/AtomicFile.h"
#include "settings/IniText.h"

namespace ostrel {
namespace {

// The profile functions hand text back through a buffer of 4,096 characters,
// one of which holds the terminating zero.
constexpr std::size_t kMaximumTextLength = 4095;

// The decimal number the value begins with: an optional sign, then digits;
// whatever follows is ignored and a value that does not begin with a number
// reads as 0. As in the profile functions, the digits are gathered in 32 bits,
// so a number outside the range wraps around modulo 2^32 ("4294967297" reads
// as 1, "2147483648" as -2147483648).
std::int32_t ParseLeadingInteger(std::string_view text) {
  std::size_t position = 0;
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) ++position;
  std::uint32_t magnitude = 0;
  for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position)
    magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[position] - '0');
  return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

std::optional<std::string> ReadValue(const std::filesystem::path& file, const std::string& section,
                                     const std::string& key) {
  // An unreadable file gives the defaults, as a missing one does.
  const std::optional<std::string> contents = ReadFileIfPresent(file);
  if (!contents) return std::nullopt;
  return FindIniValue(*contents, section, key);
}

}  // namespace

std::filesystem::path UserHomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  // A session started without a login shell may lack HOME.
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return found->pw_dir;
  return "/";
}

namespace {

// Where the desktop's own programs keep their settings: $XDG_CONFIG_HOME when
// it is an absolute path (the base directory rules ignore a relative one),
// else ~/.config.
std::filesystem::path ConfigurationDirectory() {
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  if (configured != nullptr && std::filesystem::path(configured).is_absolute()) return configured;
  return UserHomeDirectory() / ".config";
}

}  // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path SettingsStore::FileFor(const std::string& executablePath) {
  const char* overridden = std::getenv(kFileVariable);
  if (overridden != nullptr && *overridden != '\0') return overridden;
  return DefaultPath(executablePath);
}

std::filesystem::path SettingsStore::DefaultPath(const std::string& executablePath) {
  std::string name = std::filesystem::path(executablePath).filename().string();
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  return ConfigurationDirectory() / (name + ".INI");
}

std::string SettingsStore::WriteFailureMessage() const {
  return FormatText(Translate("The settings could not be saved to %s. Check that the file and its folder can be "
                              "written; until then the settings of this window are lost when it closes."),
                    {file_.string()});
}

std::int32_t SettingsStore::ReadSettingInt(const std::string& section, const std::string& key,
                                           std::int32_t defaultValue) const {
  const std::optional<std::string> value = ReadValue(file_, section, key);
  return value ? ParseLeadingInteger(*value) : defaultValue;
}

std::string SettingsStore::ReadSettingString(const std::string& section, const std::string& key,
                                             const std::string& defaultValue) const {
  std::optional<std::string> value = ReadValue(file_, section, key);
  if (!value) return defaultValue;
  if (value->size() > kMaximumTextLength) value->resize(kMaximumTextLength);
  return std::move(*value);
}

bool SettingsStore::WriteSettingInt(const std::string& section, const std::string& key, std::int32_t value) {
  return WriteSettingString(section, key, std::to_string(value));
}

bool SettingsStore::WriteSettingString(const std::string& section, const std::string& key, const std::string& value) {
  return WriteSettings(section, {{key, value}});
}

bool SettingsStore::WriteSettings(const std::string& section,
                                  const std::vector<std::pair<std::string, std::string>>& entries) {
  std::vector<SettingsEntry> sectionEntries;
  for (const auto& [key, value] : entries) sectionEntries.push_back({section, key, value});
  return WriteSettings(sectionEntries);
}

bool SettingsStore::WriteSettings(const std::vector<SettingsEntry>& entries) {
  for (const SettingsEntry& entry : entries)
    if (!IsStorableIniEntry(entry.section, entry.key, entry.value)) return false;
  return Replace([&](std::string text) {
    for (const SettingsEntry& entry : entries) text = SetIniValue(text, entry.section, entry.key, entry.value);
    return text;
  });
}

bool SettingsStore::RemoveSettings(const std::string& section, const std::string& key) {
  return Replace([&](const std::string& text) { return RemoveIniEntry(text, section, key); });
}

std::vector<std::string> SettingsStore::SectionNames() const {
  const std::optional<std::string> contents = ReadFileIfPresent(file_);
  return contents ? IniSectionNames(*contents) : std::vector<std::string>{};
}

std::vector<std::pair<std::string, std::string>> SettingsStore::ReadSection(const std::string& section) const {
  const std::optional<std::string> contents = ReadFileIfPresent(file_);
  return contents ? IniSectionEntries(*contents, section) : std::vector<std::pair<std::string, std::string>>{};
}

bool SettingsStore::Replace(const std::function<std::string(const std::string& text)>& edit) {
  // A file that exists but cannot be read must not be replaced by one that
  // holds only these keys.
  const std::optional<std::string> contents = ReadFileIfPresent(file_);
  if (!contents) return false;
  const std::string updated = edit(*contents);
  if (updated == *contents) return true;
  return ReplaceFileContents(file_, updated);
}

}  // namespace ostrel
