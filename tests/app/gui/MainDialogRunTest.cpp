// Whole runs through the dialog against a real pyftpdlib server on
// 127.0.0.1: what the dialog shows during and after a run, a stop requested
// from inside the pump, options changed in the middle of a run, and what
// closing stores afterwards.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>

#include "GuiTestSupport.h"
#include "app/MainDialog.h"
#include "app/PublisherApp.h"
#include "publish/Publisher.h"
#include "support/FtpTestServer.h"
#include "support/TempDirectory.h"

namespace ostrel::test {
namespace {

// What the dialog showed at one status update, seen just before the pump.
struct StatusSeen {
  std::string status;
  std::string total;
  bool processEnabled;
  QString closeText;
};

// The real dialog, watched at each status update. `beforePump` runs at that
// moment and may post input for the pump that follows to dispatch, as a user
// acting during the run would.
class WatchedMainDialog : public MainDialog {
 public:
  using MainDialog::MainDialog;

  std::vector<StatusSeen> seen;
  std::function<void(const std::string& status)> beforePump;

  std::vector<std::string> CopiedPaths() const {
    std::vector<std::string> paths;
    for (const StatusSeen& entry : seen) {
      if (entry.status.rfind("Copying: ", 0) == 0) paths.push_back(entry.status.substr(9));
    }
    return paths;
  }

 protected:
  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override {
    seen.push_back({status, total, Control(*this, 1).isEnabled(), static_cast<QPushButton&>(Control(*this, 2)).text()});
    if (beforePump) beforePump(status);
    MainDialog::ShowStatusAndProcessInput(status, total);
  }
};

// A page in Windows-1251 with its charset declared: recoding changes it.
std::string RussianPage(int number) {
  return "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\"></HEAD>"
         "<BODY>\xCF\xF0\xE8\xE2\xE5\xF2 " +
         std::to_string(number) + "</BODY></HTML>\n";
}

class MainDialogRunTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(server_.Root() / "www"); }

  std::filesystem::path Site() const { return directory_.Path() / "site"; }
  std::filesystem::path Published() const { return server_.Root() / "www"; }

  // Fills the edits as a user would and presses "&Process".
  void RunThroughTheDialog(WatchedMainDialog& dialog) {
    dialog.show();
    const std::vector<std::pair<int, std::string>> typed = {{1000, Site().string()},
                                                            {1001, server_.Host()},
                                                            {1004, server_.User()},
                                                            {1005, server_.Password()},
                                                            {1006, "www"}};
    for (const auto& [id, text] : typed) {
      auto& edit = static_cast<QLineEdit&>(Control(dialog, id));
      edit.clear();
      QTest::keyClicks(&edit, QString::fromStdString(text));
    }
    QTest::mouseClick(&Control(dialog, 1), Qt::LeftButton, {}, QPoint(4, 4));
  }

  static QString LabelText(const QDialog& dialog, int id) { return static_cast<QLabel&>(Control(dialog, id)).text(); }

  static std::set<std::string> FilesBelow(const std::filesystem::path& root) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (entry.is_regular_file()) files.insert(std::filesystem::relative(entry.path(), root).generic_string());
    }
    return files;
  }

  TempDirectory directory_;
  FtpTestServer server_;
  PublisherApp app_{"/opt/ostrel/bin/ostrel", directory_.Path() / "ostrel.INI"};
};

TEST_F(MainDialogRunTest, PublishesTheTreeAndClosingStoresTheNormalisedDirectories) {
  WriteFile(Site() / "index.htm", RussianPage(1) + std::string(1200, ' '));
  WriteFile(Site() / "images" / "logo.png", std::string(2000, '\x89'));
  WriteFile(Site() / "_drafts" / "plan.htm", RussianPage(2));
  WatchedMainDialog dialog(app_);

  RunThroughTheDialog(dialog);

  ASSERT_GE(dialog.seen.size(), 4u);
  EXPECT_EQ(dialog.seen.front().status, "Logging on...");
  EXPECT_EQ(dialog.seen[1].status, "Processing...");
  EXPECT_EQ(dialog.seen.back().status, "Finished.");
  EXPECT_EQ(dialog.seen.back().total, "3K");
  for (const StatusSeen& entry : dialog.seen) {
    EXPECT_FALSE(entry.processEnabled) << entry.status;
    EXPECT_EQ(entry.closeText, "Cancel") << entry.status;
  }
  const std::string localDir = Site().string() + "/";
  const std::vector<std::string> copied = dialog.CopiedPaths();
  EXPECT_EQ(std::set<std::string>(copied.begin(), copied.end()),
            (std::set<std::string>{localDir + "index.htm", localDir + "images/logo.png"}));

  EXPECT_EQ(LabelText(dialog, 1007), "Finished.");
  EXPECT_EQ(LabelText(dialog, 1012), "3K");
  EXPECT_TRUE(Control(dialog, 1).isEnabled());
  EXPECT_EQ(static_cast<QPushButton&>(Control(dialog, 2)).text(), "&Close");

  EXPECT_EQ(FilesBelow(Published()), (std::set<std::string>{"index.htm", "images/logo.png"}));
  EXPECT_EQ(ReadFile(Published() / "images" / "logo.png"), std::string(2000, '\x89'));
  EXPECT_EQ(ReadFile(Published() / "index.htm").find("charset"), std::string::npos) << "the page was recoded";

  QTest::mouseClick(&Control(dialog, 2), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(SettingsLines(directory_.Path() / "ostrel.INI"),
            (std::vector<std::string>{"LocalDir=" + localDir, "Host=" + server_.Host(), "Name=" + server_.User(),
                                      "RemoteDir=/www/"}));
  EXPECT_EQ(static_cast<QLineEdit&>(Control(dialog, 1006)).text(), "www") << "the edits keep what was typed";
  EXPECT_EQ(static_cast<QLineEdit&>(Control(dialog, 1000)).text().toStdString(), Site().string());
}

// A click on Cancel dispatched at the third file's status line lets that file
// be copied and stops the run after it. Escape pressed earlier changes
// nothing: the dialog's own keyboard handling does not apply inside the pump.
TEST_F(MainDialogRunTest, CancelClickedInsideThePumpStopsTheRunAfterTheCurrentFile) {
  for (int file = 1; file <= 6; ++file)
    WriteFile(Site() / ("f" + std::to_string(file) + ".bin"), std::string(100, 'x'));
  WatchedMainDialog dialog(app_);
  int copying = 0;
  dialog.beforePump = [&](const std::string& status) {
    if (status.rfind("Copying: ", 0) != 0) return;
    ++copying;
    if (copying == 1) {
      QCoreApplication::postEvent(QApplication::focusWidget(),
                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    }
    if (copying == 3) {
      QTimer::singleShot(0, &dialog, [&dialog] {
        QTest::mouseClick(&Control(dialog, 2), Qt::LeftButton, {}, QPoint(4, 4));
        EXPECT_EQ(dialog.Running, 0) << "the click requests the stop";
        EXPECT_TRUE(dialog.isVisible()) << "and does not close the dialog";
      });
    }
  };

  RunThroughTheDialog(dialog);

  EXPECT_EQ(dialog.CopiedPaths().size(), 3u);
  EXPECT_EQ(FilesBelow(Published()).size(), 3u);
  EXPECT_EQ(dialog.seen.back().status, "Finished.");
  EXPECT_EQ(LabelText(dialog, 1012), "300");
  EXPECT_EQ(static_cast<QPushButton&>(Control(dialog, 2)).text(), "&Close");
  EXPECT_TRUE(dialog.isVisible());
}

// Options confirmed at the second file's status line apply to that file and
// every later one: from then on pages arrive as they are.
TEST_F(MainDialogRunTest, OptionsConfirmedDuringARunApplyToTheRestOfIt) {
  for (int file = 1; file <= 4; ++file) WriteFile(Site() / ("p" + std::to_string(file) + ".htm"), RussianPage(file));
  WatchedMainDialog dialog(app_);
  int copying = 0;
  dialog.beforePump = [&](const std::string& status) {
    if (status.rfind("Copying: ", 0) != 0 || ++copying != 2) return;
    QTimer::singleShot(0, &dialog, [&dialog] {
      WhenModalOpens("Options", [](QDialog& options) {
        QTest::mouseClick(&Control(options, 1009), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseClick(&Control(options, 1), Qt::LeftButton, {}, QPoint(4, 4));
      });
      QTest::mouseClick(&Control(dialog, 1015), Qt::LeftButton, {}, QPoint(4, 4));
      EXPECT_EQ(dialog.Xcode, 0);
    });
  };

  RunThroughTheDialog(dialog);

  const std::vector<std::string> copied = dialog.CopiedPaths();
  ASSERT_EQ(copied.size(), 4u);
  for (std::size_t index = 0; index < copied.size(); ++index) {
    const std::string name = std::filesystem::path(copied[index]).filename().string();
    const bool recoded = ReadFile(Published() / name) != ReadFile(Site() / name);
    EXPECT_EQ(recoded, index == 0) << name << " copied as number " << index + 1;
  }
  EXPECT_EQ(dialog.seen.back().status, "Finished.");
  const auto lines = SettingsLines(directory_.Path() / "ostrel.INI");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Xcode=0"), lines.end());
}

}  // namespace
}  // namespace ostrel::test
