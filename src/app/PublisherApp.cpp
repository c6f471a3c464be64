#include "app/PublisherApp.h"

#include "app/MainDialog.h"

namespace ostrel {

PublisherApp::PublisherApp(const std::string& executablePath, std::filesystem::path settingsFile)
    : SettingsStore(std::move(settingsFile)), applicationName_(ApplicationNameOf(executablePath)) {}

std::string PublisherApp::ApplicationNameOf(const std::string& executablePath) {
  return std::filesystem::path(executablePath).stem().string();
}

void PublisherApp::InitInstance() {
  // The dialog object outlives its window: the settings are read when it is
  // built and saved from it when it closes.
  MainDialog dialog(*this);
  dialog.exec();
}

}  // namespace ostrel
