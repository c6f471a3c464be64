// The main dialog without a server: data exchange with the settings file,
// the checks that stop a run before it logs on, closing, and the window-menu
// commands.

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "app/MainDialog.h"
#include "app/PublisherApp.h"
#include "support/TempDirectory.h"

namespace ostrel::test {
namespace {

class MainDialogTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return directory_.Path() / "ostrel.INI"; }
  void Store(const std::string& lines) { WriteFile(File(), "[Parameters]\n" + lines); }
  static QLineEdit& Edit(const QDialog& dialog, int id) { return static_cast<QLineEdit&>(Control(dialog, id)); }
  static QString LabelText(const QDialog& dialog, int id) { return static_cast<QLabel&>(Control(dialog, id)).text(); }
  static void Type(const QDialog& dialog, int id, const QString& text) {
    Edit(dialog, id).clear();
    QTest::keyClicks(&Edit(dialog, id), text);
  }
  static void Click(const QDialog& dialog, int id) {
    QTest::mouseClick(&Control(dialog, id), Qt::LeftButton, {}, QPoint(4, 4));
  }

  TempDirectory directory_;
  PublisherApp app_{"/opt/ostrel/bin/ostrel", File()};
};

TEST_F(MainDialogTest, FirstStartWithoutAFileShowsEmptyEditsAndTheDefaults) {
  MainDialog dialog(app_);
  for (int id : {1000, 1001, 1004, 1005, 1006}) EXPECT_EQ(Edit(dialog, id).text(), "") << id;
  EXPECT_EQ(LabelText(dialog, 1007), "");
  EXPECT_EQ(LabelText(dialog, 1012), "0");
  EXPECT_EQ(dialog.XCodeExtenstions, "htm, html, txt");
  EXPECT_EQ(
      (std::vector<int>{dialog.SkipSpecialDirs, dialog.Xcode, dialog.NoQMarks, dialog.UpdateOnly, dialog.Recurse}),
      (std::vector<int>{1, 1, 1, 1, 1}));
  EXPECT_EQ(dialog.Running, 0);
  EXPECT_FALSE(std::filesystem::exists(File())) << "reading creates no file";
}

TEST_F(MainDialogTest, TypedTextIsTakenOnlyByProcessAndThePasswordIsNeverStored) {
  Store("LocalDir=/srv/loaded\nHost=loaded.example\nName=loader\nRemoteDir=www\n");
  const std::string missing = (directory_.Path() / "no such directory").string();
  {
    MainDialog dialog(app_);
    dialog.show();
    EXPECT_EQ(Edit(dialog, 1000).text(), "/srv/loaded");
    Type(dialog, 1000, "/srv/typed");
    Type(dialog, 1005, "secret-typed");
    EXPECT_EQ(dialog.LocalDir, "/srv/loaded");
    EXPECT_EQ(dialog.Password, "");

    Click(dialog, 2);
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_EQ(SettingsLines(File()),
              (std::vector<std::string>{"LocalDir=/srv/loaded", "Host=loaded.example", "Name=loader", "RemoteDir=www"}))
        << "closing stores what the members hold, not what was typed";
  }
  {
    MainDialog dialog(app_);
    dialog.show();
    EXPECT_EQ(Edit(dialog, 1005).text(), "") << "the password edit starts empty";
    Type(dialog, 1000, QString::fromStdString(missing));
    Type(dialog, 1001, "127.0.0.1:1");
    Type(dialog, 1004, "typed user");
    Type(dialog, 1005, "secret-typed");
    Type(dialog, 1006, "typed/dir");
    MessageRecorder messages;
    Click(dialog, 1);
    EXPECT_EQ(dialog.LocalDir, missing);
    EXPECT_EQ(dialog.Password, "secret-typed");
    EXPECT_EQ(messages.Messages().size(), 1u);
  }
  EXPECT_EQ(SettingsLines(File()), (std::vector<std::string>{"LocalDir=" + missing, "Host=127.0.0.1:1",
                                                             "Name=typed user", "RemoteDir=typed/dir"}));
  EXPECT_EQ(ReadFile(File()).find("secret-typed"), std::string::npos);
}

// Each check that ends a run before the logon: one box with the
// application's name as caption, nothing else changes on screen.
TEST_F(MainDialogTest, RunStopsWithOneMessageWhenAValueIsMissingOrWrong) {
  WriteFile(directory_.Path() / "plain file", "not a directory");
  const std::string file = (directory_.Path() / "plain file").string();
  const std::string missing = (directory_.Path() / "missing").string();
  const std::string existing = directory_.Path().string();
  struct Case {
    std::string localDir, host, message;
  };
  const std::vector<Case> cases = {
      {"", "127.0.0.1:1", "Local directory does not specified."},
      {"", "", "Local directory does not specified."},
      {existing, "", "Remote FTP site does not specified."},
      {missing, "127.0.0.1:1", "Cannot find local directory " + missing},
      {file, "127.0.0.1:1", "Cannot find local directory " + file},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("LocalDir \"" + test.localDir + "\", Host \"" + test.host + "\"");
    MainDialog dialog(app_);
    dialog.show();
    Type(dialog, 1000, QString::fromStdString(test.localDir));
    Type(dialog, 1001, QString::fromStdString(test.host));
    MessageRecorder messages;
    Click(dialog, 1);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].caption, "ostrel");
    EXPECT_EQ(messages.Messages()[0].text.toStdString(), test.message);
    EXPECT_EQ(LabelText(dialog, 1007), "");
    EXPECT_EQ(LabelText(dialog, 1012), "0");
    EXPECT_TRUE(Control(dialog, 1).isEnabled());
    EXPECT_EQ(static_cast<QPushButton&>(Control(dialog, 2)).text(), "&Close");
    EXPECT_EQ(dialog.Running, 0);
  }
}

TEST_F(MainDialogTest, AStoredTextLongerThan4095CharactersArrivesCut) {
  Store("RemoteDir=" + std::string(5000, 'd') + "\n");
  MainDialog dialog(app_);
  EXPECT_EQ(Edit(dialog, 1006).text(), QString(4095, 'd'));
}

TEST_F(MainDialogTest, EscapeAndTheCloseCommandCloseLikeTheCloseButton) {
  Store("LocalDir=/srv/site\nHost=h\nName=n\nRemoteDir=r\n");
  for (const bool useEscape : {true, false}) {
    std::filesystem::remove(File());
    MainDialog dialog(app_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    if (useEscape) {
      QTest::keyClick(&dialog, Qt::Key_Escape);
    } else {
      EXPECT_TRUE(dialog.OnSysCommand(MainDialog::kCloseCommand));
    }
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_EQ(SettingsLines(File()).size(), 4u) << (useEscape ? "Escape" : "close command");
  }
}

// Opens nothing, or records the caption of the modal dialog that opened and
// closes it.
QString ModalDialogOpenedBy(const std::function<void()>& action) {
  QString caption;
  QTimer::singleShot(0, [&caption] {
    if (auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget())) {
      caption = dialog->windowTitle();
      dialog->reject();
    }
  });
  action();
  QTest::qWait(1);
  return caption;
}

TEST_F(MainDialogTest, WindowCommandsSixteenToThirtyOneOpenTheAboutBox) {
  MainDialog dialog(app_);
  dialog.show();
  for (unsigned command = 16; command <= 31; ++command) {
    bool handled = false;
    EXPECT_EQ(ModalDialogOpenedBy([&] { handled = dialog.OnSysCommand(command); }), "About Ostrel") << command;
    EXPECT_TRUE(handled);
  }
  for (unsigned command : {0u, 1u, 15u, 32u, 48u, 0xF010u, 0xF020u, 0xF120u}) {
    bool handled = true;
    EXPECT_EQ(ModalDialogOpenedBy([&] { handled = dialog.OnSysCommand(command); }), "") << command;
    EXPECT_FALSE(handled) << command;
  }
  EXPECT_EQ(ModalDialogOpenedBy([&] { Click(dialog, 1016); }), "About Ostrel") << "the About... button";
}

TEST_F(MainDialogTest, ContextMenuStandsInForTheWindowMenu) {
  MainDialog dialog(app_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QStringList texts;
  QString opened;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) texts << action->text();
    QAction* about = menu->actions().last();
    QTimer::singleShot(0, [&opened] {
      if (auto* box = dynamic_cast<QDialog*>(QApplication::activeModalWidget())) {
        opened = box->windowTitle();
        box->reject();
      }
    });
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(about).center());
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), dialog.mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(&dialog, &event);

  EXPECT_EQ(texts, (QStringList{"&Close\tAlt+F4", "", "&About Ostrel..."}));
  EXPECT_EQ(opened, "About Ostrel");
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace ostrel::test
