// The application's name and settings file, and the real message box behind
// the seam the other tests answer.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <cstdlib>

#include "GuiTestSupport.h"
#include "app/MessageBox.h"
#include "app/PublisherApp.h"

namespace ostrel::test {
namespace {

TEST(PublisherAppTest, TheNameIsTheExecutablesFileNameWithoutDirectoryAndExtension) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/usr/bin/ostrel", "ostrel"},
      {"ostrel", "ostrel"},
      {"C:/Program Files/OSTREL.EXE", "OSTREL"},
      {"/opt/my.tools/ostrel.bin.exe", "ostrel.bin"},
  };
  for (const auto& [path, name] : cases) {
    EXPECT_EQ(PublisherApp::ApplicationNameOf(path), name) << path;
    EXPECT_EQ(PublisherApp(path, "/tmp/unused.INI").ApplicationName(), name);
  }
}

TEST(PublisherAppTest, TheSettingsFileIsNamedAfterTheExecutableUnlessTheEnvironmentNamesOne) {
  ::unsetenv(PublisherApp::kSettingsFileVariable);
  const auto standard = PublisherApp::SettingsFileFor("/usr/local/bin/ostrel");
  EXPECT_EQ(standard.filename(), "ostrel.INI");
  EXPECT_EQ(standard, SettingsStore::DefaultPath("/usr/local/bin/ostrel"));

  ::setenv(PublisherApp::kSettingsFileVariable, "/srv/demo/ostrel.INI", 1);
  EXPECT_EQ(PublisherApp::SettingsFileFor("/usr/local/bin/ostrel"), "/srv/demo/ostrel.INI");
  ::setenv(PublisherApp::kSettingsFileVariable, "", 1);
  EXPECT_EQ(PublisherApp::SettingsFileFor("/usr/local/bin/ostrel"), standard) << "an empty value names no file";
  ::unsetenv(PublisherApp::kSettingsFileVariable);
}

TEST(MessageBoxTest, ShowsAWarningWithOneOkButtonAndTheCaption) {
  MessageBox::SetAnswerer({});
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  int buttons = 0;
  WhenModalOpens("ostrel", [&](QDialog& dialog) {
    auto& box = static_cast<QMessageBox&>(dialog);
    icon = box.icon();
    text = box.text();
    buttons = static_cast<int>(box.buttons().size());
    box.button(QMessageBox::Ok)->click();
  });
  MessageBox::ShowWarning(nullptr, "ostrel", "Cannot copy file <a&b>.htm");
  FailOnMessageBoxes();

  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, 1);
  EXPECT_EQ(text, "Cannot copy file <a&b>.htm");
}

}  // namespace
}  // namespace ostrel::test
