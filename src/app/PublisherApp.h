#pragma once

#include <filesystem>
#include <string>

#include "settings/SettingsStore.h"

class QCoreApplication;

namespace ostrel {

// Qt's own texts (the standard buttons of a message box, the file dialog) in
// the language our catalogue is in, from Qt's installed catalogue; English
// when there is none.
void InstallToolkitTranslation(QCoreApplication& application);

// The application: its name, its settings file, and the start-up that shows
// the main dialog. It offers the settings operations ReadSettingInt,
// ReadSettingString, WriteSettingInt and WriteSettingString of the store it
// is built on; the dialogs read and write the settings through it.
class PublisherApp : public SettingsStore {
 public:
  PublisherApp(const std::string& executablePath, std::filesystem::path settingsFile);

  // The executable's file name without directory and extension: the caption
  // of every message box.
  static std::string ApplicationNameOf(const std::string& executablePath);

  const std::string& ApplicationName() const { return applicationName_; }

  // Shows the main dialog modally and returns when it has closed. A QApplication must exist.
  void InitInstance();

 private:
  std::string applicationName_;
};

}  // namespace ostrel
