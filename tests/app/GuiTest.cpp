// The dialogs driven as a user would; runs go to a real pyftpdlib server, input through the pump.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDropEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include "app/AboutDialog.h"
#include "app/DialogBuilder.h"
#include "app/MainDialog.h"
#include "app/MessageBox.h"
#include "app/OptionsDialog.h"
#include "app/PublisherApp.h"
#include "platform/Translation.h"
#include "resources/VersionInfo.h"
#include "settings/Sites.h"
#include "support/FtpTestServer.h"
#include "support/PermissionChecks.h"

namespace ostrel::test {
namespace {

struct QtEnvironment : ::testing::Environment {
  int argc = 1;
  char name[16] = "gui_test", *argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
  void SetUp() override { app = std::make_unique<QApplication>(argc, argv); }
  void TearDown() override { app.reset(); }
};
[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

template <typename Control = QWidget>
Control& Get(const QWidget& dialog, int id) {
  if (auto* control = FindControl<Control>(dialog, id)) return *control;
  throw std::runtime_error("no control " + std::to_string(id));
}
void Click(const QWidget& dialog, int id) { QTest::mouseClick(&Get(dialog, id), Qt::LeftButton, {}, QPoint(4, 4)); }
void Type(const QWidget& dialog, const std::vector<std::pair<int, std::string>>& typed) {
  for (const auto& [id, text] : typed) {
    Get<QLineEdit>(dialog, id).clear();
    QTest::keyClicks(&Get<QLineEdit>(dialog, id), QString::fromStdString(text));
  }
}

// The caption of the modal dialog `action` opens ("" if none), which `answer` must close.
QString ModalOpenedBy(const std::function<void()>& action, const std::function<void(QDialog&)>& answer = {}) {
  QString caption;
  QTimer::singleShot(0, [&] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      caption = dialog->windowTitle();
      answer ? answer(*dialog) : dialog->reject();
    }
  });
  action();
  return caption;
}

// Message boxes are recorded; one the test did not take out of messages_ fails it.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_STATE_HOME", (directory_.Path() / "state").c_str(), 1);
    MessageBox::SetAnswerer(
        [this](const QString& c, const QString& t) { messages_.push_back((c + ": " + t).toStdString()); });
  }
  void TearDown() override {
    EXPECT_EQ(messages_, std::vector<std::string>{});
    MessageBox::SetAnswerer([](const QString&, const QString& text) { ADD_FAILURE() << text.toStdString(); });
  }
  std::filesystem::path File() const { return directory_.Path() / "ostrel.INI"; }
  TempDirectory directory_;
  PublisherApp app_{"/opt/ostrel/bin/ostrel", File()};
  std::vector<std::string> messages_;  // "caption: text"
};

// Closing writes back what was loaded, "&Process" what was typed, and never the password; the
// engine's refusal shows with the program's name. `prepare` runs after loading, with the file gone.
TEST_F(GuiTest, TheMainDialogStoresTheConnectionValuesButNeverThePassword) {
  const std::string missing = (directory_.Path() / "missing").string();
  struct Row {
    int button;
    std::function<void()> prepare;
    std::string file;
    std::vector<std::string> messages;
  };
  for (const Row& row : std::vector<Row>{
           {kCloseButton, {}, "LocalDir=/srv/loaded\nHost=loaded.example\nName=loader\nRemoteDir=www\n", {}},
           {kProcessButton,
            {},
            "LocalDir=" + missing + "\nHost=127.0.0.1:1\nName=typed user\nRemoteDir=typed/dir\n",
            {"ostrel: Cannot find local directory " + missing}},
           {kCloseButton,  // a settings file that cannot be written is reported, not ignored
            [&] {
              std::filesystem::permissions(directory_.Path(),
                                           std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
            },
            "",
            {"ostrel: The settings could not be saved to " + File().string() +
             ". Check that the file and its folder can be written; until then the settings of this window are lost "
             "when it closes."}}}) {
    SCOPED_TRACE(row.button);
    WriteFile(File(), "[Parameters]\nLocalDir=/srv/loaded\nHost=loaded.example\nName=loader\nRemoteDir=www\n");
    MainDialog dialog(app_);
    dialog.show();
    EXPECT_EQ(Get<QLineEdit>(dialog, kHostEdit).text(), "loaded.example");
    std::filesystem::remove(File());
    std::optional<EnforcePermissionChecks> permissionChecks;
    if (row.prepare) permissionChecks.emplace(), row.prepare();
    Type(dialog, {{kLocalDirEdit, missing},
                  {kHostEdit, "127.0.0.1:1"},
                  {kNameEdit, "typed user"},
                  {kPasswordEdit, "secret-typed"},
                  {kRemoteDirEdit, "typed/dir"}});
    Click(dialog, row.button);
    std::filesystem::permissions(directory_.Path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::exists(File()) ? ReadFile(File()) : "",
              row.file.empty() ? "" : "[Parameters]\n" + row.file);
    EXPECT_EQ(std::exchange(messages_, {}), row.messages);
  }
}

// Each row stores one flag off (NoQMarks as 7: no check state, so off) and the
// others on; only that box opens unchecked. Clicking every box inverts them:
// OK must store that flag as the only 1, and the two texts as edited.
TEST_F(GuiTest, TheOptionsDialogReadsAndWritesItsKeys) {
  const std::vector<std::pair<int, std::string>> boxes = {// Recurse, which disables a box, comes last
                                                          {kSkipSpecialDirsCheck, "SkipSpecialDirs"},
                                                          {kXcodeCheck, "Xcode"},
                                                          {kNoQMarksCheck, "NoQMarks"},
                                                          {kUpdateOnlyCheck, "UpdateOnly"},
                                                          {kDeleteRemoteCheck, "DeleteRemote"},
                                                          {kRecurseCheck, "Recurse"}};
  for (const auto& [rowId, rowKey] : boxes) {
    SCOPED_TRACE(rowKey);
    std::string stored = "[Parameters]\n", expected = stored;
    for (const auto& [id, key] : boxes) {
      stored += key + "=" + (key != rowKey ? "1" : rowKey == "NoQMarks" ? "7" : "0") + "\n";
      expected += key + (key == rowKey ? "=1\n" : "=0\n");
    }
    WriteFile(File(), stored + "XCodeExtenstions=php\nExclude=*~\n");
    OptionsDialog dialog(app_);
    dialog.show();
    for (const auto& [id, key] : boxes) {
      EXPECT_EQ(Get<QAbstractButton>(dialog, id).isChecked(), id != rowId) << key;
      Click(dialog, id);
    }
    EXPECT_EQ(Get<QLineEdit>(dialog, kExtensionsEdit).text(), "php");
    EXPECT_EQ(Get<QLineEdit>(dialog, kExcludeEdit).text(), "*~");
    Get<QLineEdit>(dialog, kExtensionsEdit).setText("shtml");
    Get<QLineEdit>(dialog, kExcludeEdit).setText("*.bak; drafts/");
    Click(dialog, kOkButton);
    EXPECT_EQ(ReadFile(File()), expected +
                                    "XCodeExtenstions=shtml\nExclude=*.bak; drafts/\nPassive=1\nConnections=6\n"
                                    "MaxDelete=0\n");
  }
}

// OK stores the connection options and forgets a removed certificate; Cancel keeps the file as it was.
TEST_F(GuiTest, TheOptionsDialogKeepsTheConnectionOptionsAndRemovesCertificates) {
  const std::string before =
      "[Parameters]\nPassive=0\nConnections=2\n\n[Certificates]\nold.example:21=SHA256:AA\nnew.example:990=SHA256:BB\n";
  const std::string confirmed =
      "[Parameters]\nPassive=1\nConnections=16\nSkipSpecialDirs=1\nXCodeExtenstions=htm, html, txt\nXcode=1\n"
      "NoQMarks=1\nUpdateOnly=1\nRecurse=1\nDeleteRemote=0\nMaxDelete=0\nExclude=\n\n[Certificates]\nnew.example:990="
      "SHA256:BB\n";
  for (const auto& [button, expected] : {std::pair(kOkButton, confirmed), std::pair(kCancelButton, before)}) {
    WriteFile(File(), before);
    OptionsDialog dialog(app_);
    QListWidget& list = Get<QListWidget>(dialog, kCertificatesList);
    EXPECT_EQ(std::tuple(Get<QAbstractButton>(dialog, kPassiveCheck).isChecked(),
                         Get<QSpinBox>(dialog, kConnectionsSpin).value(), list.count(), list.item(1)->text()),
              std::tuple(false, 2, 2, QString("new.example:990  SHA256:BB")));
    Click(dialog, kPassiveCheck);
    Get<QSpinBox>(dialog, kConnectionsSpin).setValue(99);  // held to the range
    list.setCurrentRow(0);
    Click(dialog, kRemoveCertificateButton);
    EXPECT_EQ(list.count(), 1);
    Click(dialog, button);
    EXPECT_EQ(ReadFile(File()), expected);
  }
}

// Two sites from the values typed; choosing one fills the edits (the password box emptied) and
// [Parameters]; "&Process" saves to the chosen site only; a deleted site leaves the values.
TEST_F(GuiTest, SitesKeepTheirValuesAndChoosingOneFillsTheDialog) {
  MainDialog dialog(app_);
  QComboBox& sites = Get<QComboBox>(dialog, kSiteCombo);
  const auto fromMenu = [&](int item, const QString& name = {}) {
    const auto choose = [&] { Get<QPushButton>(dialog, kSitesButton).menu()->actions().at(item)->trigger(); };
    if (name.isEmpty()) return choose();  // no box to answer
    ModalOpenedBy(choose, [&](QDialog& box) { static_cast<QInputDialog&>(box).setTextValue(name), box.accept(); });
  };
  const auto shown = [&] {
    std::string text = sites.currentText().toStdString();
    for (const int edit : {kLocalDirEdit, kHostEdit, kNameEdit, kPasswordEdit, kRemoteDirEdit})
      text += "|" + Get<QLineEdit>(dialog, edit).text().toStdString();
    return text;
  };
  Type(dialog, {{kLocalDirEdit, "/absent/prod"},
                {kHostEdit, "prod.example"},
                {kNameEdit, "alice"},
                {kPasswordEdit, "secret-prod"},
                {kRemoteDirEdit, "www"}});
  fromMenu(0, "Production");
  Type(dialog, {{kLocalDirEdit, "/absent/test"}, {kHostEdit, "test.example"}, {kPasswordEdit, "secret-test"}});
  fromMenu(0, "Test copy");
  fromMenu(0, "PRODUCTION");
  EXPECT_EQ(std::exchange(messages_, {}),
            std::vector<std::string>{"ostrel: There is a site named \"Production\" already."});
  for (const auto& [index, expected] :
       std::vector<std::pair<int, std::string>>{{0, "Production|/absent/prod|prod.example|alice||www"},
                                                {1, "Test copy|/absent/test|test.example|alice||www"},
                                                {0, "Production|/absent/prod|prod.example|alice||www"}}) {
    sites.setCurrentIndex(index);
    emit sites.activated(index);
    EXPECT_EQ(shown(), expected);
    RunSettings parameters;  // what the next start, and an older copy, reads
    LoadSettings(app_, parameters);
    EXPECT_EQ(CurrentSite(app_) + "|" + parameters.Host,
              expected.substr(0, expected.find("|/")) + "|" + Get<QLineEdit>(dialog, kHostEdit).text().toStdString());
  }
  Type(dialog, {{kHostEdit, "prod2.example"}});
  Click(dialog, kProcessButton);
  EXPECT_EQ(std::exchange(messages_, {}), std::vector<std::string>{"ostrel: Cannot find local directory /absent/prod"});
  RunSettings production, test;
  EXPECT_TRUE(LoadSite(app_, "Production", production) && LoadSite(app_, "Test copy", test));
  EXPECT_EQ(std::pair(production.Host, test.Host),
            std::pair(std::string("prod2.example"), std::string("test.example")));
  fromMenu(2);
  EXPECT_EQ(std::pair(SiteNames(app_), shown()),
            std::pair(std::vector<std::string>{"Test copy"}, std::string("|/absent/prod|prod2.example|alice||www")));
  EXPECT_EQ(ReadFile(File()).find("secret"), std::string::npos);
}

TEST_F(GuiTest, WithoutAnAnswererTheSeamShowsAWarningBox) {
  MessageBox::SetAnswerer({});
  QMessageBox::Icon icon{};
  EXPECT_EQ(ModalOpenedBy([] { MessageBox::ShowWarning(nullptr, "ostrel", "text"); },
                          [&](QDialog& box) { icon = static_cast<QMessageBox&>(box).icon(), box.reject(); }),
            "ostrel");
  EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST_F(GuiTest, WindowMenuCommandsWhoseIdAnd0xFFF0Is16OpenTheAboutBox) {
  MainDialog dialog(app_);
  for (const auto& [command, opens] : std::vector<std::pair<unsigned, bool>>{
           {16, true}, {31, true}, {0x10010, true}, {15, false}, {32, false}, {0xF010, false}}) {
    bool handled = !opens;
    EXPECT_EQ(ModalOpenedBy([&] { handled = dialog.OnSysCommand(command); }), opens ? "About Ostrel" : "") << command;
    EXPECT_EQ(handled, opens) << command;
  }
}

// Under a Russian locale every text of the three dialogs is the catalogue's (the maker's notice
// aside), Qt's buttons too, and no dialog has an accelerator twice; under C each is its template's
// English. Either way no text is cut.
TEST_F(GuiTest, TheDialogsSpeakTheLocalesLanguageWithUniqueAcceleratorsAndNothingCut) {
  for (const auto& [locale, russian] : {std::pair{"ru_RU.UTF-8", true}, {"C", false}}) {
    SCOPED_TRACE(locale);
    setenv("LC_ALL", locale, 1);
    setenv("OSTREL_LOCALEDIR", OSTREL_TEST_LOCALEDIR, 1);
    StartTranslation(TranslationOutput::Utf8);
    InstallToolkitTranslation(*QCoreApplication::instance());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), russian ? "Отмена" : "Cancel");
    MainDialog main(app_);
    OptionsDialog options(app_);
    AboutDialog about;
    for (const auto& [dialog, dialogTemplate] : std::vector<std::pair<QDialog*, const DialogTemplate*>>{
             {&main, &MainDialogTemplate()}, {&options, &OptionsDialogTemplate()}, {&about, &AboutDialogTemplate()}}) {
      std::set<QChar> accelerators;
      const QList<QWidget*> controls = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      for (std::size_t index = 0; const ControlTemplate& control : dialogTemplate->controls) {
        QWidget* widget = controls[static_cast<qsizetype>(index++)];
        auto* label = qobject_cast<QLabel*>(widget);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (!label && !button) continue;  // the edits and the icon
        const QString text = label ? label->text() : button->text();
        const QString english = QString::fromUtf8(control.text.data(), static_cast<qsizetype>(control.text.size()));
        // The status line and the total are the run's, not the template's.
        const bool asWritten = !russian || control.text == version::kAboutNotice;
        EXPECT_TRUE(english.isEmpty() || (asWritten ? text == english : text.contains(QRegularExpression("[а-яА-Я]"))))
            << text.toStdString();
        const qsizetype mark = control.style & kStyleLiteralAmpersand ? -1 : text.indexOf('&');
        // The English has two (P); the translation must not.
        EXPECT_TRUE(!russian || mark < 0 || accelerators.insert(text[mark + 1].toLower()).second) << text.toStdString();
        // A label wraps within its height, a box's text or a button's within its width.
        const auto* box = qobject_cast<QCheckBox*>(widget);
        const int needed = label ? label->minimumSizeHint().width()
                           : box ? box->sizeHint().width()
                                 : widget->fontMetrics().size(Qt::TextShowMnemonic, text).width() +
                                       widget->style()->pixelMetric(QStyle::PM_ButtonMargin);
        EXPECT_TRUE(needed <= widget->width() && (!label || label->heightForWidth(label->width()) <= label->height()))
            << text.toStdString() << ": " << needed << " of " << widget->width();
      }
    }
  }
  setenv("LC_ALL", "C", 1);
  StartTranslation(TranslationOutput::Utf8);
}

// A path typed in one go reaches into directories the model has not loaded yet; they load in the background.
TEST_F(GuiTest, TheLocalDirectoryCompletesDirectoriesOnlyAndMindsCase) {
  for (const char* name : {"site", "site-old", "Sites"}) std::filesystem::create_directory(directory_.Path() / name);
  WriteFile(directory_.Path() / "site.htm", "x");
  MainDialog dialog(app_);
  Type(dialog, {{kLocalDirEdit, (directory_.Path() / "s").string()}});
  QCompleter* completer = Get<QLineEdit>(dialog, kLocalDirEdit).completer();
  ASSERT_NE(completer, nullptr);
  const auto offered = [list = completer->completionModel()] {
    std::string names;
    for (int row = 0; row < list->rowCount(); ++row) names += list->index(row, 0).data().toString().toStdString() + " ";
    return names;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return offered() == "site site-old "; }, 5000)) << offered();
}

// Dropped on the dialog or on any edit: one local folder fills the local directory, copied
// (a move would let the source delete it); anything else carrying URLs is refused.
TEST_F(GuiTest, AFolderDroppedOnTheDialogBecomesTheLocalDirectory) {
  const std::string folder = (directory_.Path() / "site").string(), file = (directory_.Path() / "page.htm").string();
  std::filesystem::create_directory(folder);
  WriteFile(file, "x");
  const QUrl site = QUrl::fromLocalFile(QString::fromStdString(folder));
  MainDialog dialog(app_);
  for (const auto& [urls, accepted] :
       std::vector<std::pair<QList<QUrl>, bool>>{{{site}, true},
                                                 {{QUrl::fromLocalFile(QString::fromStdString(file))}, false},
                                                 {{site, site}, false},
                                                 {{QUrl("ftp://127.0.0.1/site")}, false}}) {
    for (int target : {0, int{kLocalDirEdit}, int{kHostEdit}}) {
      SCOPED_TRACE(QUrl::toStringList(urls).join(' ').toStdString() + " on " + std::to_string(target));
      Type(dialog, {{kLocalDirEdit, "typed"}, {kHostEdit, "host"}});
      QWidget& widget = target != 0 ? Get(dialog, target) : dialog;
      QMimeData mime;  // file managers offer the URLs as text too, which an edit would insert
      mime.setUrls(urls);
      mime.setText(urls.front().toString());
      const Qt::DropAction action = accepted ? Qt::CopyAction : Qt::MoveAction;  // Shift proposes a move
      QDragEnterEvent enter({4, 4}, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
      QApplication::sendEvent(&widget, &enter);
      EXPECT_EQ(std::pair(enter.isAccepted(), enter.dropAction()), std::pair(accepted, action));
      QDropEvent drop({4, 4}, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
      QApplication::sendEvent(&widget, &drop);  // Qt hands it to whoever accepted the enter, if anyone
      EXPECT_EQ(drop.dropAction(), action);
      EXPECT_EQ(Get<QLineEdit>(dialog, kLocalDirEdit).text().toStdString(), accepted ? folder : "typed");
      EXPECT_EQ(Get<QLineEdit>(dialog, kHostEdit).text().toStdString(), "host");
    }
  }
}

// One file refused: the Details pane, filtered to failures, shows it with the server's reason, and so
// does the run's log file; the progress bar reached the file count and went away with the run.
TEST_F(GuiTest, ARunKeepsItsLogShowsFailuresInTheDetailsAndCountsFilesInTheProgressBar) {
  const std::string refused = "552 Upload refused by the test server.";
  FtpTestServer server(
      {.faults = {"--answer", "STOR .b.htm.ostrel-upload=" + refused, "--answer", "STOR b.htm=" + refused}});
  const std::filesystem::path site = directory_.Path() / "site";
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(site / name, "x");
  std::filesystem::create_directories(server.Root() / "www");
  MainDialog dialog(app_);
  dialog.Settings().Connections = 1;
  Type(dialog, {{kLocalDirEdit, site.string()},
                {kHostEdit, server.Host()},
                {kNameEdit, server.User()},
                {kPasswordEdit, server.Password()},
                {kRemoteDirEdit, "www"}});
  Click(dialog, kDetailsButton);
  Click(dialog, kFailuresOnlyCheck);
  Click(dialog, kProcessButton);
  const std::string failed = (site / "b.htm").string();
  EXPECT_EQ(std::exchange(messages_, {}),
            std::vector<std::string>{"ostrel: Cannot copy file " + failed + "\n" + refused});
  QListWidget& details = Get<QListWidget>(dialog, kDetailsList);
  std::vector<std::string> shown;
  for (int row = 0; row < details.count(); ++row)
    if (!details.item(row)->isHidden()) shown.push_back(details.item(row)->text().mid(9).toStdString());
  const std::string failure = "Failed: " + failed + " (" + refused + ")";
  EXPECT_EQ(shown, (std::vector<std::string>{"Message: Cannot copy file " + failed, "Message: " + refused, failure}));
  const QProgressBar& bar = Get<QProgressBar>(dialog, kProgressBar);
  EXPECT_EQ(std::tuple(bar.value(), bar.maximum(), bar.isHidden()), std::tuple(3, 3, true));
  EXPECT_EQ(dialog.LogFile().parent_path(), directory_.Path() / "state" / "ostrel" / "logs");
  const std::string log = ReadFile(dialog.LogFile());
  for (const std::string& line :
       {"Copied: " + (site / "c.htm").string() + "\n", failure + "\n", std::string("Finished.\n")})
    EXPECT_NE(log.find(line), std::string::npos) << line << " is not in\n" << log;
  EXPECT_EQ(log.find(server.Password()), std::string::npos);
}

// The main dialog watched at every status update, before its pump runs.
struct WatchedDialog : MainDialog {
  using MainDialog::MainDialog;
  std::vector<std::string> copied;              // local paths, in copy order
  std::set<QString> buttonsDuringRun;           // close button text, process button enabled
  std::function<void(std::size_t)> beforeCopy;  // gets the 1-based number of the file about to be copied
  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override {
    buttonsDuringRun.insert(Get<QAbstractButton>(*this, kCloseButton).text() +
                            (Get(*this, kProcessButton).isEnabled() ? " enabled" : " disabled"));
    if (status.starts_with("Copying: ") && beforeCopy) beforeCopy((copied.push_back(status.substr(9)), copied.size()));
    MainDialog::ShowStatusAndProcessInput(status, total);
  }
};

// Publish() fills the edits, clicks "&Process" and returns where the files arrive.
class RunTest : public GuiTest {
 protected:
  std::filesystem::path Publish() {
    std::filesystem::create_directories(server_.Root() / "www");
    dialog_.show();
    Type(dialog_, {{kLocalDirEdit, site_.string()},
                   {kHostEdit, server_.Host()},
                   {kNameEdit, server_.User()},
                   {kPasswordEdit, server_.Password()},
                   {kRemoteDirEdit, "www"}});
    // One connection, so that every file is copied as its status line is shown.
    dialog_.Settings().Connections = 1;
    Click(dialog_, kProcessButton);
    return server_.Root() / "www";
  }

  // Stopping the server fills the sockets and leaves the engine waiting as long as the test likes.
  struct PausableServer : FtpTestServer {
    void Pause(bool paused) const { kill(-processId_, paused ? SIGSTOP : SIGCONT); }
  } server_;
  WatchedDialog dialog_{app_};
  const std::filesystem::path site_ = directory_.Path() / "site";
};

// The stop request by the Cancel button and by Escape.
class StopTest : public RunTest, public testing::WithParamInterface<bool> {};

TEST_P(StopTest, StopRequestInThePumpStopsAfterTheCurrentFileAndTheButtonsComeBack) {
  for (int file = 1; file <= 6; ++file) WriteFile(site_ / ("f" + std::to_string(file) + ".bin"), "x");
  dialog_.beforeCopy = [&](std::size_t file) {
    if (file == 3)
      QTimer::singleShot(0, &dialog_, [&] {
        if (GetParam())
          QTest::keyClick(&dialog_, Qt::Key_Escape);
        else
          Click(dialog_, kCloseButton);
      });
  };
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Publish()), {}), 3);
  EXPECT_EQ(dialog_.buttonsDuringRun, std::set<QString>{"Cancel disabled"});
  EXPECT_EQ(Get<QAbstractButton>(dialog_, kCloseButton).text(), "&Close");
  EXPECT_TRUE(Get(dialog_, kProcessButton).isEnabled());
  EXPECT_TRUE(dialog_.isVisible()) << "a stop request does not close the dialog";
}

INSTANTIATE_TEST_SUITE_P(ByCancelAndByEscape, StopTest, testing::Bool());

// A whole publish. Options confirmed while the second file waits its turn apply
// to it and every later one: those pages arrive as they are, not recoded.
TEST_F(RunTest, APublishWithOptionsConfirmedDuringTheRunAppliesThemFromTheNextFile) {
  const std::string page =
      "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
      "charset=windows-1251\"></HEAD><BODY>\xCF\xF0\xE8\xE2\xE5\xF2</BODY></HTML>\n";
  for (int file = 1; file <= 4; ++file) WriteFile(site_ / ("p" + std::to_string(file) + ".htm"), page);
  dialog_.beforeCopy = [&](std::size_t file) {
    if (file == 2)
      QTimer::singleShot(0, &dialog_, [&] {
        EXPECT_EQ(ModalOpenedBy([&] { Click(dialog_, kOptionsButton); },
                                [](QDialog& options) { Click(options, kXcodeCheck), Click(options, kOkButton); }),
                  "Options");
      });
  };
  const std::filesystem::path published = Publish();
  for (std::size_t index = 0; index < dialog_.copied.size(); ++index) {
    const std::string name = std::filesystem::path(dialog_.copied[index]).filename().string();
    EXPECT_EQ(ReadFile(published / name) != page, index == 0) << name << " copied as number " << index + 1;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(published), {}), 4);
  EXPECT_EQ(Get<QLabel>(dialog_, kStatusLabel).text(), "Finished.");
}

// Before the first deletion a box asks, counting and naming what would go; No keeps it all.
TEST_F(RunTest, DeletionsAreAskedForAndNoLeavesTheFiles) {
  WriteFile(site_ / "a.htm", "a");
  for (const char* name : {"gone.htm", "old/x.htm"}) WriteFile(server_.Root() / "www" / name, "x");
  dialog_.Settings().DeleteRemote = 1;
  const std::filesystem::path published = Publish();
  EXPECT_EQ(std::exchange(messages_, {}),
            std::vector<std::string>{"ostrel: Delete 3 remote files that are not in the local directory?\n\n"
                                     "/www/gone.htm\n/www/old/x.htm\n/www/old/"});
  EXPECT_TRUE(std::filesystem::exists(published / "gone.htm") && std::filesystem::exists(published / "old/x.htm"));
  EXPECT_EQ(Get<QLabel>(dialog_, kStatusLabel).text(), "Finished.");
}

// The server stops while the first, large file is sent, so the engine waits on a full socket: events
// posted meanwhile, and a Cancel, are handled while it waits (the engine asks every 100 ms; the bound
// leaves room for a loaded machine, and a pump that waited for the socket would take over a second);
// the total counts the part sent; the file completes and no later one is copied.
TEST_F(RunTest, InputIsHandledWhileALargeFileIsUnderWay) {
  const std::uintmax_t size = 64 << 20;
  WriteFile(site_ / "a.bin", ""), std::filesystem::resize_file(site_ / "a.bin", size);
  for (const char* name : {"b.txt", "c.txt"}) WriteFile(site_ / name, "x");
  using Clock = std::chrono::steady_clock;
  Clock::duration slowest{};
  int handled = 0;
  std::thread pauser([&, until = Clock::now() + std::chrono::seconds(10)] {
    // The file's temporary copy on the server, ".a.bin.RANDOM.ostrel-upload".
    const auto copySize = [&] {
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator(server_.Root() / "www", error))
        if (entry.path().filename().string().starts_with(".a.bin.")) return entry.file_size(error);
      return std::uintmax_t{0};
    };
    while (copySize() < (1u << 20))
      if (std::this_thread::sleep_for(std::chrono::milliseconds(1)), Clock::now() > until) return;
    server_.Pause(true);
    for (int event = 1; event <= 20; ++event, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
      QMetaObject::invokeMethod(
          &dialog_,
          [&, event, posted = Clock::now()] {
            slowest = std::max(slowest, Clock::now() - posted), ++handled;
            const long long kilobytes = Get<QLabel>(dialog_, kTotalLabel).text().chopped(1).toLongLong();
            // The total is shown anew within 100 ms, right after input is handled.
            EXPECT_TRUE(kilobytes < static_cast<long long>(size / 1024) && (event < 5 || kilobytes > 0)) << kilobytes;
            if (event == 3) Click(dialog_, kCloseButton);
            EXPECT_EQ(dialog_.IsRunning(), event < 3) << event;
          },
          Qt::QueuedConnection);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    server_.Pause(false);
  });
  const std::filesystem::path published = Publish();
  pauser.join();
  EXPECT_LT(slowest, std::chrono::milliseconds(600)) << std::chrono::duration<double>(slowest).count() << " s";
  EXPECT_EQ(handled, 20);
  EXPECT_EQ(std::filesystem::file_size(published / "a.bin"), size);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(published), {}), 1);
  EXPECT_TRUE(Get<QLabel>(dialog_, kStatusLabel).text().endsWith("Finished."));
}

}  // namespace
}  // namespace ostrel::test
