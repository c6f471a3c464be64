#include "app/settings/StoredSettings.h"

#include "app/settings/SettingsStore.h"
#include "publish/Publisher.h"

namespace ostrel {

void LoadRunSettings(const SettingsStore& store, Publisher& publisher) {
  publisher.LocalDir = store.ReadSettingString(kSettingsSection, "LocalDir");
  publisher.Host = store.ReadSettingString(kSettingsSection, "Host");
  publisher.Password.clear();
  publisher.Name = store.ReadSettingString(kSettingsSection, "Name");
  publisher.RemoteDir = store.ReadSettingString(kSettingsSection, "RemoteDir");
  const StoredOptions options = LoadOptions(store);
  publisher.SkipSpecialDirs = options.SkipSpecialDirs;
  publisher.XCodeExtenstions = options.XCodeExtenstions;
  publisher.Xcode = options.Xcode;
  publisher.NoQMarks = options.NoQMarks;
  publisher.UpdateOnly = options.UpdateOnly;
  publisher.Recurse = options.Recurse;
}

void SaveSettings(SettingsStore& store, const Publisher& publisher) {
  store.WriteSettingString(kSettingsSection, "LocalDir", publisher.LocalDir);
  store.WriteSettingString(kSettingsSection, "Host", publisher.Host);
  store.WriteSettingString(kSettingsSection, "Name", publisher.Name);
  store.WriteSettingString(kSettingsSection, "RemoteDir", publisher.RemoteDir);
}

StoredOptions LoadOptions(const SettingsStore& store) {
  StoredOptions options;
  options.SkipSpecialDirs = store.ReadSettingInt(kSettingsSection, "SkipSpecialDirs", 1);
  options.XCodeExtenstions =
      store.ReadSettingString(kSettingsSection, "XCodeExtenstions", kDefaultExtensions);
  options.Xcode = store.ReadSettingInt(kSettingsSection, "Xcode", 1);
  options.NoQMarks = store.ReadSettingInt(kSettingsSection, "NoQMarks", 1);
  options.UpdateOnly = store.ReadSettingInt(kSettingsSection, "UpdateOnly", 1);
  options.Recurse = store.ReadSettingInt(kSettingsSection, "Recurse", 1);
  return options;
}

void SaveOptions(SettingsStore& store, const StoredOptions& options) {
  store.WriteSettingInt(kSettingsSection, "SkipSpecialDirs", options.SkipSpecialDirs);
  store.WriteSettingString(kSettingsSection, "XCodeExtenstions", options.XCodeExtenstions);
  store.WriteSettingInt(kSettingsSection, "Xcode", options.Xcode);
  store.WriteSettingInt(kSettingsSection, "NoQMarks", options.NoQMarks);
  store.WriteSettingInt(kSettingsSection, "UpdateOnly", options.UpdateOnly);
  store.WriteSettingInt(kSettingsSection, "Recurse", options.Recurse);
}

}  // namespace ostrel
