// The three dialogs as built from their templates: texts, places in pixels,
// tab order and mnemonics. The expected tables are typed from the dialogs'
// descriptions, not taken from the template data, and the pixel places are
// computed here from the font on their own.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>

#include "GuiTestSupport.h"
#include "app/AboutDialog.h"
#include "app/MainDialog.h"
#include "app/OptionsDialog.h"
#include "app/PublisherApp.h"
#include "resources/VersionInfo.h"
#include "support/TempDirectory.h"

namespace ostrel::test {
namespace {

struct ExpectedControl {
  const char* kind;  // "label", "edit", "button", "check", "icon"
  int id;            // -1: none
  QString text;
  int x, y, width, height;
};

// Dialog units to pixels from the dialog font, derived on its own: average
// width of the 52 letters as the original platform rounds it, the font's
// height, then x * width / 4 and y * height / 8 rounded to nearest.
struct PixelScale {
  explicit PixelScale(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    averageWidth = (letters / 26 + 1) / 2;
    height = metrics.height();
  }
  int X(int units) const { return static_cast<int>(std::lround(units * averageWidth / 4.0)); }
  int Y(int units) const { return static_cast<int>(std::lround(units * height / 8.0)); }
  int averageWidth;
  int height;
};

const char* KindOf(QWidget* widget) {
  if (qobject_cast<QLineEdit*>(widget)) return "edit";
  if (qobject_cast<QPushButton*>(widget)) return "button";
  if (qobject_cast<QCheckBox*>(widget)) return "check";
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->pixmap().isNull() ? "label" : "icon";
  return "other";
}

QString TextOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  return {};
}

void ExpectLayout(const QDialog& dialog, const QString& caption, int width, int height,
                  const std::vector<ExpectedControl>& expected) {
  const QFontInfo font(dialog.font());
  EXPECT_EQ(font.pointSize(), 8);
  const PixelScale scale(dialog.font());
  ASSERT_GT(scale.averageWidth, 2);
  ASSERT_GT(scale.height, 6);

  EXPECT_EQ(dialog.windowTitle(), caption);
  EXPECT_EQ(dialog.size(), QSize(scale.X(width), scale.Y(height)));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "the frame is not resizable";

  const auto controls = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(controls.size(), static_cast<qsizetype>(expected.size()));
  for (std::size_t index = 0; index < expected.size(); ++index) {
    const ExpectedControl& want = expected[index];
    QWidget* control = controls[static_cast<qsizetype>(index)];
    SCOPED_TRACE("control " + std::to_string(index) + " \"" + want.text.toStdString() + "\"");
    EXPECT_STREQ(KindOf(control), want.kind);
    EXPECT_EQ(TextOf(control), want.text);
    if (want.id >= 0) {
      EXPECT_EQ(control->objectName(), QString::number(want.id));
      EXPECT_EQ(control->property("controlId").toInt(), want.id);
    }
    EXPECT_EQ(control->geometry(), QRect(scale.X(want.x), scale.Y(want.y), scale.X(want.width), scale.Y(want.height)));
  }
}

// The focusable controls from the first one on, following the tab chain
// until it comes back.
std::vector<int> TabChain(QDialog& dialog) {
  std::vector<int> ids;
  QWidget* first = dialog.focusWidget();
  if (first == nullptr) return ids;
  QWidget* current = first;
  do {
    ids.push_back(current->property("controlId").toInt());
    do {
      current = current->nextInFocusChain();
    } while (current->focusPolicy() == Qt::NoFocus && current != first);
  } while (current != first && ids.size() < 50);
  return ids;
}

class DialogLayoutTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  PublisherApp app_{"/usr/bin/ostrel", directory_.Path() / "ostrel.INI"};
};

TEST_F(DialogLayoutTest, MainDialogFollowsTemplate102) {
  MainDialog dialog(app_);
  ExpectLayout(dialog, "Ostrel", 276, 165,
               {
                   {"label", -1, "&Local directory:", 7, 12, 53, 11},
                   {"edit", 1000, "", 70, 9, 199, 14},
                   {"label", -1, "&Remote FTP site:", 7, 32, 59, 11},
                   {"edit", 1001, "", 70, 29, 111, 14},
                   {"label", -1, "&User:", 7, 50, 46, 10},
                   {"edit", 1004, "", 70, 47, 111, 14},
                   {"label", -1, "&Password:", 7, 67, 58, 10},
                   {"edit", 1005, "", 70, 65, 111, 14},
                   {"label", -1, "Remote &directory:", 7, 86, 58, 8},
                   {"edit", 1006, "", 70, 83, 199, 14},
                   {"label", 1007, "", 7, 105, 261, 9},
                   {"label", -1, "Total copied:", 7, 124, 42, 9},
                   {"label", 1012, "0", 56, 124, 46, 10},
                   {"button", 1, "&Process", 15, 144, 50, 14},
                   {"button", 2, "&Close", 210, 144, 50, 14},
                   {"button", 1015, "&Options...", 80, 144, 50, 14},
                   {"button", 1016, "About...", 145, 144, 50, 14},
               });
  EXPECT_TRUE(static_cast<QPushButton&>(Control(dialog, 1)).isDefault());
  EXPECT_FALSE(static_cast<QPushButton&>(Control(dialog, 2)).isDefault());
  EXPECT_EQ(static_cast<QLineEdit&>(Control(dialog, 1005)).echoMode(), QLineEdit::Password);
  EXPECT_EQ(static_cast<QLineEdit&>(Control(dialog, 1000)).echoMode(), QLineEdit::Normal);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  const QIcon icon = dialog.windowIcon();
  EXPECT_EQ(icon.availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
}

TEST_F(DialogLayoutTest, OptionsDialogFollowsTemplate129) {
  OptionsDialog dialog(app_);
  ExpectLayout(dialog, "Options", 272, 114,
               {
                   {"button", 1, "OK", 78, 93, 50, 14},
                   {"button", 2, "Cancel", 144, 93, 50, 14},
                   {"check", 1009, "&Translate to KOI8 files with extenstions:", 15, 7, 139, 10},
                   {"edit", 1008, "htm, html, txt", 39, 18, 226, 14},
                   {"check", 1010, "&Convert invalid chars to spaces", 15, 37, 135, 9},
                   {"check", 1002, "&Skip directories that start with underscore", 15, 64, 152, 8},
                   {"check", 1011, "Copy only files &updated since last copying", 15, 77, 152, 10},
                   {"check", 1013, "R&ecurse subdirectories", 15, 51, 142, 8},
               });
  EXPECT_TRUE(static_cast<QPushButton&>(Control(dialog, 1)).isDefault());
}

TEST_F(DialogLayoutTest, AboutBoxFollowsTemplate100) {
  AboutDialog dialog;
  const QString notice = QString::fromUtf8(version::kLegalCopyright.data(), version::kLegalCopyright.size()) +
                         "\nPublished under the MIT licence\nVersion 1.0.0.1\nContact: ostrel-developers@example.org";
  ExpectLayout(dialog, "About Ostrel", 273, 194,
               {
                   {"icon", -1, "", 11, 17, 21, 20},
                   {"label", -1, "Ostrel Version 1.0 beta", 40, 10, 119, 8},
                   {"label", -1, notice, 40, 25, 205, 35},
                   {"button", 1, "OK", 120, 173, 32, 14},
                   {"label", -1,
                    "This utility serves as a convinient way to maintain a Russian virtual Web server running on "
                    "your provider's UNIX system. It copies files from a local directory tree to your Web site "
                    "file structure using the FTP protocol. ",
                    41, 66, 210, 37},
                   {"label", -1, "", 41, 142, 210, 27},
                   {"label", -1,
                    "To use this utility you must have Windows 95 or Windows NT and the Internet Explorer 3.0 "
                    "installed. If you does not have IE 3.0, just find WININET.DLL file (which is freely "
                    "redistributable) and copy it into Windows system folder.",
                    41, 105, 210, 35},
               });
  EXPECT_EQ(notice.count('\n'), 3) << "the notice has four lines";
  EXPECT_TRUE(static_cast<QPushButton&>(Control(dialog, 1)).isDefault());
}

TEST_F(DialogLayoutTest, VersionRecordCarriesTheProgramsNameAndVersion) {
  EXPECT_EQ(version::kFileDescription, "OSTREL - Publish files to Web site through FTP");
  EXPECT_EQ(version::kFileVersionText, "1, 0, 0, 1");
  EXPECT_EQ(version::kProductVersionText, "1, 0, 0, 1");
  EXPECT_EQ(version::kInternalName, "OSTREL");
  EXPECT_EQ(version::kOriginalFilename, "OSTREL.EXE");
  EXPECT_EQ(version::kProductName, "OSTREL");
  EXPECT_EQ((std::vector<int>(std::begin(version::kFileVersion), std::end(version::kFileVersion))),
            (std::vector<int>{1, 0, 0, 1}));
}

TEST_F(DialogLayoutTest, TabOrderIsTemplateOrderAndStartsAtTheFirstControl) {
  MainDialog main(app_);
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  EXPECT_EQ(TabChain(main), (std::vector<int>{1000, 1001, 1004, 1005, 1006, 1, 2, 1015, 1016}));

  OptionsDialog options(app_, &main);
  options.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&options));
  EXPECT_EQ(TabChain(options), (std::vector<int>{1, 2, 1009, 1008, 1010, 1002, 1011, 1013}));
}

TEST_F(DialogLayoutTest, MnemonicOfALabelMovesTheFocusToTheEditAfterIt) {
  MainDialog dialog(app_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const std::vector<std::pair<Qt::Key, int>> mnemonics = {
      {Qt::Key_R, 1001}, {Qt::Key_U, 1004}, {Qt::Key_D, 1006}, {Qt::Key_L, 1000}};
  for (const auto& [key, id] : mnemonics) {
    QTest::keyClick(&dialog, key, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), &Control(dialog, id))
        << "Alt+" << QKeySequence(key).toString().toStdString();
  }
}

}  // namespace
}  // namespace ostrel::test
