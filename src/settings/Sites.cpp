#include "settings/Sites.h"

#include <algorithm>
#include <iterator>

#include "platform/Translation.h"
#include "settings/IniText.h"

namespace ostrel {
namespace {

std::string SectionOf(const std::string& site) { return kSiteSectionPrefix + site; }

// Section names match without regard to ASCII case, and so do site names.
bool SameName(const std::string& left, const std::string& right) {
  const auto lower = [](char character) {
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
  };
  return std::ranges::equal(left, right, [&](char a, char b) { return lower(a) == lower(b); });
}

std::vector<SettingsEntry> AllEntries(const RunSettings& settings, const std::string& section) {
  std::vector<SettingsEntry> entries = GroupEntries(settings, SettingGroup::Connection, section);
  std::ranges::move(GroupEntries(settings, SettingGroup::Option, section), std::back_inserter(entries));
  return entries;
}

}  // namespace

std::vector<std::string> SiteNames(const SettingsStore& store) {
  std::vector<std::string> names;
  const std::string prefix = kSiteSectionPrefix;
  for (const std::string& section : store.SectionNames())
    if (section.size() > prefix.size() && SameName(section.substr(0, prefix.size()), prefix))
      names.push_back(section.substr(prefix.size()));
  return names;
}

std::string CurrentSite(const SettingsStore& store) {
  const std::string named = store.ReadSettingString(kSettingsSection, kCurrentSiteKey);
  for (const std::string& site : SiteNames(store))
    if (!named.empty() && SameName(site, named)) return site;
  return {};
}

std::string SiteNameProblem(const SettingsStore& store, const std::string& name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ')
    return Translate("A site name must not be empty or begin or end with a space.");
  if (!IsStorableIniEntry(SectionOf(name), kCurrentSiteKey, name) || name.find('\t') != std::string::npos)
    return Translate("A site name must not hold \"]\", a tab or a line break.");
  for (const std::string& site : SiteNames(store))
    if (SameName(site, name)) return FormatText(Translate("There is a site named \"%s\" already."), {site});
  return {};
}

bool LoadSite(const SettingsStore& store, const std::string& name, RunSettings& settings) {
  for (const std::string& site : SiteNames(store))
    if (SameName(site, name)) {
      LoadSettings(store, settings, SectionOf(site));
      return true;
    }
  return false;
}

bool SaveSettings(SettingsStore& store, const RunSettings& settings, SettingGroup group, const std::string& site) {
  std::vector<SettingsEntry> entries = GroupEntries(settings, group, kSettingsSection);
  if (!site.empty()) std::ranges::move(GroupEntries(settings, group, SectionOf(site)), std::back_inserter(entries));
  return store.WriteSettings(entries);
}

bool SaveSite(SettingsStore& store, const std::string& name, const RunSettings& settings) {
  std::vector<SettingsEntry> entries = AllEntries(settings, kSettingsSection);
  entries.push_back({kSettingsSection, kCurrentSiteKey, name});
  std::ranges::move(AllEntries(settings, SectionOf(name)), std::back_inserter(entries));
  return store.WriteSettings(entries);
}

bool RenameSite(SettingsStore& store, const std::string& name, const std::string& newName) {
  RunSettings settings;
  // Another spelling of the same name is the same section, which would go.
  if (SameName(name, newName) || !LoadSite(store, name, settings)) return false;
  const bool current = SameName(CurrentSite(store), name);
  std::vector<SettingsEntry> entries = AllEntries(settings, SectionOf(newName));
  if (current) entries.push_back({kSettingsSection, kCurrentSiteKey, newName});
  // Written before the old section goes: a failure leaves both, never neither.
  return store.WriteSettings(entries) && store.RemoveSettings(SectionOf(name));
}

bool DeleteSite(SettingsStore& store, const std::string& name) {
  if (SameName(CurrentSite(store), name) && !store.WriteSettings({{kSettingsSection, kCurrentSiteKey, ""}}))
    return false;
  return store.RemoveSettings(SectionOf(name));
}

}  // namespace ostrel
