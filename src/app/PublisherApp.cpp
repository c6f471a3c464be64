#include "app/PublisherApp.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/MainDialog.h"
#include "platform/Translation.h"

namespace ostrel {

void InstallToolkitTranslation(QCoreApplication& application) {
  // The one installed before, for a language chosen before, goes.
  delete application.findChild<QTranslator*>(QStringLiteral("toolkitTranslation"), Qt::FindDirectChildrenOnly);
  const std::string language = TranslationLanguage();
  if (language.empty()) return;
  auto* translator = new QTranslator(&application);
  translator->setObjectName(QStringLiteral("toolkitTranslation"));
  if (translator->load(QStringLiteral("qtbase_") + QString::fromStdString(language),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(translator);
  else
    delete translator;
}

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
