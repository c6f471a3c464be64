// The options dialog against a real settings file: what it opens with, what
// OK and Cancel store, and when its two enabling rules apply.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/MainDialog.h"
#include "app/OptionsDialog.h"
#include "app/PublisherApp.h"
#include "support/TempDirectory.h"

namespace ostrel::test {
namespace {

class OptionsDialogTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return directory_.Path() / "ostrel.INI"; }
  void Store(const std::string& lines) { WriteFile(File(), "[Parameters]\n" + lines); }
  static QCheckBox& Check(const QDialog& dialog, int id) { return static_cast<QCheckBox&>(Control(dialog, id)); }
  static QLineEdit& Extensions(const QDialog& dialog) { return static_cast<QLineEdit&>(Control(dialog, 1008)); }
  // A real click needs a shown window; the dialogs opened modally already are.
  static void Click(QDialog& dialog, int id) {
    dialog.show();
    QTest::mouseClick(&Control(dialog, id), Qt::LeftButton, {}, QPoint(4, 4));
  }

  TempDirectory directory_;
  PublisherApp app_{"/usr/bin/ostrel", File()};
};

TEST_F(OptionsDialogTest, WithoutAFileOpensWithTheDefaultsAndOkCreatesTheFile) {
  OptionsDialog dialog(app_);
  for (int id : {1002, 1009, 1010, 1011, 1013}) EXPECT_TRUE(Check(dialog, id).isChecked()) << id;
  EXPECT_EQ(Extensions(dialog).text(), "htm, html, txt");
  EXPECT_FALSE(std::filesystem::exists(File()));

  Click(dialog, 1);
  EXPECT_EQ(dialog.result(), 1);
  EXPECT_EQ(SettingsLines(File()), (std::vector<std::string>{"SkipSpecialDirs=1", "XCodeExtenstions=htm, html, txt",
                                                             "Xcode=1", "NoQMarks=1", "UpdateOnly=1", "Recurse=1"}));
}

// Out-of-range flags open unchecked and are stored as 0; 2 counts as on.
TEST_F(OptionsDialogTest, StoredFlagsOutsideTheCheckStatesOpenUncheckedAndOkStoresZero) {
  Store("SkipSpecialDirs=5\nXcode=7\nNoQMarks=-1\nUpdateOnly=2\nRecurse=0\n");
  MainDialog main(app_);
  EXPECT_EQ(main.SkipSpecialDirs, 5) << "the main dialog keeps the stored value, which counts as on";

  OptionsDialog dialog(app_, &main);
  EXPECT_EQ(dialog.SkipSpecialDirs, 0);
  EXPECT_EQ(dialog.Xcode, 0);
  EXPECT_EQ(dialog.NoQMarks, 0);
  EXPECT_FALSE(Check(dialog, 1002).isChecked());
  EXPECT_FALSE(Check(dialog, 1009).isChecked());
  EXPECT_FALSE(Check(dialog, 1010).isChecked());
  EXPECT_TRUE(Check(dialog, 1011).isChecked());
  EXPECT_FALSE(Check(dialog, 1013).isChecked());

  Click(dialog, 1);
  EXPECT_EQ(SettingsLines(File()),
            (std::vector<std::string>{"SkipSpecialDirs=0", "Xcode=0", "NoQMarks=0", "UpdateOnly=1", "Recurse=0",
                                      "XCodeExtenstions=htm, html, txt"}));
}

TEST_F(OptionsDialogTest, CancelAfterChangesLeavesFileAndMainDialogAsTheyWere) {
  Store("Xcode=1\nXCodeExtenstions=htm\n");
  const std::string before = ReadFile(File());
  MainDialog main(app_);

  WhenModalOpens("Options", [](QDialog& options) {
    Click(options, 1009);
    Click(options, 1013);
    Extensions(options).setText("php");
    Click(options, 2);
  });
  main.OnOptions();

  EXPECT_EQ(ReadFile(File()), before);
  EXPECT_EQ(main.Xcode, 1);
  EXPECT_EQ(main.Recurse, 1);
  EXPECT_EQ(main.XCodeExtenstions, "htm");
}

TEST_F(OptionsDialogTest, OkStoresTheValuesAndHandsThemToTheMainDialog) {
  MainDialog main(app_);
  WhenModalOpens("Options", [](QDialog& options) {
    Click(options, 1010);
    Click(options, 1011);
    Extensions(options).setText("shtml");
    Click(options, 1);
  });
  main.OnOptions();

  EXPECT_EQ(main.NoQMarks, 0);
  EXPECT_EQ(main.UpdateOnly, 0);
  EXPECT_EQ(main.XCodeExtenstions, "shtml");
  EXPECT_EQ(main.Xcode, 1);
  EXPECT_EQ(SettingsLines(File()), (std::vector<std::string>{"SkipSpecialDirs=1", "XCodeExtenstions=shtml", "Xcode=1",
                                                             "NoQMarks=0", "UpdateOnly=0", "Recurse=1"}));
}

// The rules run on clicks only, and OK reads disabled controls too.
TEST_F(OptionsDialogTest, EnablingRulesApplyOnClicksAndDisabledControlsAreStillStored) {
  Store("Xcode=0\nRecurse=0\nSkipSpecialDirs=1\n");
  OptionsDialog dialog(app_);
  dialog.show();
  EXPECT_TRUE(Extensions(dialog).isEnabled()) << "no rule is applied at opening";
  EXPECT_TRUE(Check(dialog, 1002).isEnabled());

  Click(dialog, 1009);
  EXPECT_TRUE(Extensions(dialog).isEnabled());
  Click(dialog, 1009);
  EXPECT_FALSE(Extensions(dialog).isEnabled());
  EXPECT_TRUE(Check(dialog, 1010).isEnabled()) << "1010 does not depend on 1009";

  Click(dialog, 1013);
  EXPECT_TRUE(Check(dialog, 1002).isEnabled());
  Click(dialog, 1013);
  EXPECT_FALSE(Check(dialog, 1002).isEnabled());
  EXPECT_TRUE(Check(dialog, 1002).isChecked()) << "only the enabled state changes";

  Extensions(dialog).setText("txt");
  Click(dialog, 1);
  const auto lines = SettingsLines(File());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "SkipSpecialDirs=1"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "XCodeExtenstions=txt"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Xcode=0"), lines.end());
}

TEST_F(OptionsDialogTest, AnEmptiedExtensionListStaysEmpty) {
  {
    OptionsDialog dialog(app_);
    Extensions(dialog).clear();
    Click(dialog, 1);
  }
  OptionsDialog reopened(app_);
  EXPECT_EQ(Extensions(reopened).text(), "");
  MainDialog main(app_);
  EXPECT_EQ(main.XCodeExtenstions, "");
}

TEST_F(OptionsDialogTest, EscapeAndTheCloseCommandCancel) {
  OptionsDialog dialog(app_);
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), 2);
  EXPECT_FALSE(std::filesystem::exists(File()));

  dialog.show();
  dialog.close();
  EXPECT_EQ(dialog.result(), 2);
  EXPECT_FALSE(std::filesystem::exists(File()));
}

}  // namespace
}  // namespace ostrel::test
