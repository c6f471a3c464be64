#include <QApplication>

#include "app/PublisherApp.h"
#include "platform/StandardDescriptors.h"
#include "platform/Translation.h"
#include "resources/VersionInfo.h"

// The desktop program takes no arguments of its own; QApplication takes the
// toolkit's (such as -platform) and the rest are ignored.
int main(int argc, char* argv[]) {
  ostrel::OpenClosedStandardDescriptors();
  // Before the toolkit makes any text: Qt takes UTF-8 whatever the locale.
  ostrel::StartTranslation(ostrel::TranslationOutput::Utf8);
  QApplication application(argc, argv);
  ostrel::InstallToolkitTranslation(application);
  QApplication::setDesktopFileName(
      QString::fromUtf8(ostrel::version::kApplicationId.data(), ostrel::version::kApplicationId.size()));
  const std::string executable = QCoreApplication::applicationFilePath().toStdString();
  ostrel::PublisherApp publisherApp(executable, ostrel::SettingsStore::FileFor(executable));
  publisherApp.InitInstance();
  return 0;
}
