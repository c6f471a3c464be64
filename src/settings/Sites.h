#pragma once

#include <string>
#include <vector>

#include "settings/RunSettings.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace ostrel {

// Saved sites. Each is a section "[Site NAME]" with the keys of [Parameters].
// [Parameters] keeps holding the values of the site in use, as it always
// has, so that a copy of the program that knows no sites still publishes to
// it; its key "Site" names that site. A file without site sections is used
// exactly as before sites existed. The password is never stored.
inline constexpr const char* kSiteSectionPrefix = "Site ";
inline constexpr const char* kCurrentSiteKey = "Site";

// The saved sites in the order of the file.
std::vector<std::string> SiteNames(const SettingsStore& store);
// The site [Parameters] holds; empty when none is named or it was deleted.
std::string CurrentSite(const SettingsStore& store);
// Why the name cannot be given to a new site; empty when it can.
std::string SiteNameProblem(const SettingsStore& store, const std::string& name);

// A site's values, the password left as it was; false when there is no such site.
bool LoadSite(const SettingsStore& store, const std::string& name, RunSettings& settings);
// The group written to [Parameters] and, unless `site` is empty, to the
// site's section too, in one replacement of the file.
bool SaveSettings(SettingsStore& store, const RunSettings& settings, SettingGroup group, const std::string& site);
// Makes the site the current one with these values, created when new.
bool SaveSite(SettingsStore& store, const std::string& name, const RunSettings& settings);
bool RenameSite(SettingsStore& store, const std::string& name, const std::string& newName);
// A deleted current site leaves [Parameters] with its values, naming no site.
bool DeleteSite(SettingsStore& store, const std::string& name);

}  // namespace ostrel
