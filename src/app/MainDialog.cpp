#include "app/MainDialog.h"

#include <QComboBox>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <array>
#include <utility>

#include "app/AboutDialog.h"
#include "app/DesktopNotice.h"
#include "app/DialogBuilder.h"
#include "app/EventPump.h"
#include "app/MessageBox.h"
#include "app/OptionsDialog.h"
#include "app/ProgramIcon.h"
#include "app/PublisherApp.h"
#include "engine/LocalTree.h"
#include "engine/RunSummary.h"
#include "platform/Translation.h"
#include "resources/DialogTemplates.h"
#include "resources/StringTable.h"
#include "settings/SettingsTable.h"
#include "settings/Sites.h"

namespace ostrel {
namespace {

// The edits and the members they exchange text with, in exchange order.
constexpr std::array<std::pair<int, std::string RunSettings::*>, 5> kExchangedEdits = {{
    {kLocalDirEdit, &RunSettings::LocalDir},
    {kHostEdit, &RunSettings::Host},
    {kPasswordEdit, &RunSettings::Password},
    {kNameEdit, &RunSettings::Name},
    {kRemoteDirEdit, &RunSettings::RemoteDir},
}};

// A run this long has given the user time to turn to something else.
constexpr std::chrono::seconds kNoticedRun(10);

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The local folder a drag carries, or "" when it carries anything else: a
// file, a remote URL, or more than one URL (which of them would be meant?).
QString DraggedDirectory(const QDropEvent& event) {
  const QList<QUrl> urls = event.mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  const QString path = urls.front().toLocalFile();
  return QFileInfo(path).isDir() ? path : QString();
}

}  // namespace

MainDialog::MainDialog(PublisherApp& app, QWidget* parent)
    : QDialog(parent), app_(app), runLog_(*this), publisher_(runLog_, app.ApplicationName()) {
  LoadSettings(app_, settings_);
  site_ = CurrentSite(app_);

  BuildDialog(*this, MainDialogTemplate());
  runView_ = std::make_unique<RunView>(*this);
  runLog_.onEntry = [this](const RunLogEntry& entry) { runView_->Add(entry); };
  siteCombo_ = FindControl<QComboBox>(*this, kSiteCombo);
  siteCombo_->setPlaceholderText(QString::fromUtf8(Translate("(no saved site)")));
  // The site box comes first in tab order, yet the local directory is what
  // users type first, as before sites existed.
  FindControl<QLineEdit>(*this, kLocalDirEdit)->setFocus();
  processButton_ = FindControl<QPushButton>(*this, kProcessButton);
  closeButton_ = FindControl<QPushButton>(*this, kCloseButton);
  statusLabel_ = FindControl<QLabel>(*this, kStatusLabel);
  totalLabel_ = FindControl<QLabel>(*this, kTotalLabel);
  // The status shows names and server replies; "<b>" in one is text, not markup.
  statusLabel_->setTextFormat(Qt::PlainText);
  totalLabel_->setTextFormat(Qt::PlainText);

  connect(processButton_, &QPushButton::clicked, this, [this] { OnProcess(); });
  connect(closeButton_, &QPushButton::clicked, this, [this] { OnCancel(); });
  connect(FindControl<QPushButton>(*this, kOptionsButton), &QPushButton::clicked, this, [this] { OnOptions(); });
  connect(FindControl<QPushButton>(*this, kAboutButton), &QPushButton::clicked, this, [this] { OnAbout(); });

  LoadControls();
  ShowSites();
  connect(siteCombo_, &QComboBox::activated, this,
          [this](int index) { OnSiteChosen(siteCombo_->itemText(index).toStdString()); });
  AttachSitesMenu();
  AttachDirectoryCompleter();
  // The edits would take a dragged URL as text and insert it; the filter
  // passes URL drags on to the dialog, while text dragged into an edit stays
  // the edit's own.
  setAcceptDrops(true);
  for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);
  setWindowIcon(ProgramIcon());
  ShowStatusAndProcessInput({}, FormatTotal(publisher_.TotalCopied));
}

void MainDialog::LoadControls() {
  for (const auto& [id, member] : kExchangedEdits) {
    FindControl<QLineEdit>(*this, id)->setText(FromStd(settings_.*member));
  }
}

void MainDialog::SaveControls() {
  for (const auto& [id, member] : kExchangedEdits) {
    settings_.*member = FindControl<QLineEdit>(*this, id)->text().toStdString();
  }
}

// The edit comes from the dialog template, so the completer is attached here.
void MainDialog::AttachDirectoryCompleter() {
  auto* completer = new QCompleter(this);
  auto* model = new QFileSystemModel(completer);
  model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model->setRootPath(QString());
  completer->setModel(model);
  // Linux file names that differ only in case are different directories.
  completer->setCaseSensitivity(Qt::CaseSensitive);
  QLineEdit* edit = FindControl<QLineEdit>(*this, kLocalDirEdit);
  edit->setCompleter(completer);
  // The completer alone loads a directory only once every level above it has
  // loaded, one level per keystroke: a path pasted, loaded from the settings
  // or typed faster than the tree loads would never complete. Asking the
  // model for the typed directory loads it and the levels above it in the
  // background, and the completer offers what arrives.
  connect(edit, &QLineEdit::textEdited, model, [model](const QString& text) {
    if (QDir::isAbsolutePath(text)) model->index(QFileInfo(text).path());
  });
}

void MainDialog::WarnOfFailedWrite() {
  MessageBox::ShowWarning(this, FromStd(app_.ApplicationName()), FromStd(app_.WriteFailureMessage()));
}

void MainDialog::SaveSettings() {
  if (!ostrel::SaveSettings(app_, settings_, SettingGroup::Connection, site_)) WarnOfFailedWrite();
}

void MainDialog::OnProcess() {
  SaveControls();
  SaveSettings();
  processButton_->setEnabled(false);
  closeButton_->setText(QString::fromUtf8(Translate("Cancel")));
  // The run takes its own copy of the settings: another site now would
  // only mislead.
  siteCombo_->setEnabled(false);
  FindControl<QPushButton>(*this, kSitesButton)->setEnabled(false);
  const std::string logProblem = runLog_.Begin(RunLogDirectory(), site_.empty() ? settings_.Host : site_);
  // Patterns that are refused the run says so itself, before it logs on.
  ExcludePatterns excluded;
  LoadExcludePatterns(settings_, excluded);
  runView_->Start(CountFilesToConsider(settings_, excluded));
  // Said in the pane only: a box at every run would be worse than no log.
  if (!logProblem.empty()) {
    RunLogEntry problem;
    problem.time = std::chrono::system_clock::now();
    problem.text = logProblem;
    runView_->Add(problem);
  }
  const auto start = std::chrono::steady_clock::now();
  publisher_.Running = 1;
  const RunResult result = publisher_.RunPublishing(settings_);
  publisher_.Running = 0;
  const auto took = std::chrono::steady_clock::now() - start;
  runLog_.End(FormatRunSummary(result, took, publisher_.Mode));
  runView_->Finish();
  closeButton_->setText(QString::fromUtf8(Translate("&Close")));
  processButton_->setEnabled(true);
  siteCombo_->setEnabled(true);
  FindControl<QPushButton>(*this, kSitesButton)->setEnabled(true);
  NoticeEndOfRun(result, took);
}

void MainDialog::NoticeEndOfRun(const RunResult& result, std::chrono::steady_clock::duration took) {
  if (took <= kNoticedRun || isActiveWindow()) return;
  const std::string copied = std::to_string(result.filesCopied), failed = std::to_string(result.filesFailed);
  ShowDesktopNotice(FromStd(app_.ApplicationName()),
                    FromStd(FormatText(result.stopped ? Translate("Stopped before the end: %s copied, %s failed")
                                                      : Translate("Finished: %s copied, %s failed"),
                                       {copied, failed})));
}

void MainDialog::OnCancel() {
  if (publisher_.Running != 0) {
    publisher_.Running = 0;
    return;
  }
  SaveSettings();
  done(kDialogResultCancel);
}

// Esc and the window's close command (QDialog::closeEvent calls reject()).
// While a run is in progress the window stays open, and Qt then ignores the
// close event because the dialog is still visible.
void MainDialog::reject() { OnCancel(); }

void MainDialog::OnOptions() {
  OptionsDialog options(app_, this);
  if (options.exec() != kDialogResultOk) return;
  CopySettings(options, settings_, SettingGroup::Option);
  // [Parameters] has them from the dialog already; the site keeps them too.
  if (!site_.empty() && !ostrel::SaveSettings(app_, settings_, SettingGroup::Option, site_)) WarnOfFailedWrite();
  if (publisher_.Running != 0) publisher_.ApplyOptions(settings_);
}

void MainDialog::ShowSites() {
  siteCombo_->clear();
  for (const std::string& site : SiteNames(app_)) siteCombo_->addItem(FromStd(site));
  siteCombo_->setCurrentIndex(siteCombo_->findText(FromStd(site_), Qt::MatchFixedString));
}

void MainDialog::AttachSitesMenu() {
  auto* menu = new QMenu(this);
  connect(menu->addAction(QString::fromUtf8(Translate("&New site..."))), &QAction::triggered, this,
          [this] { OnNewSite(); });
  QAction* rename = menu->addAction(QString::fromUtf8(Translate("&Rename site...")));
  QAction* remove = menu->addAction(QString::fromUtf8(Translate("&Delete site")));
  connect(rename, &QAction::triggered, this, [this] { OnRenameSite(); });
  connect(remove, &QAction::triggered, this, [this] { OnDeleteSite(); });
  // Renaming and deleting concern the chosen site.
  connect(menu, &QMenu::aboutToShow, this, [this, rename, remove] {
    rename->setEnabled(!site_.empty());
    remove->setEnabled(!site_.empty());
  });
  FindControl<QPushButton>(*this, kSitesButton)->setMenu(menu);
}

void MainDialog::OnSiteChosen(const std::string& site) {
  RunSettings chosen = settings_;
  if (!LoadSite(app_, site, chosen)) return ShowSites();
  // Another site's password would be wrong, and sending it a leak.
  chosen.Password.clear();
  settings_ = chosen;
  site_ = site;
  LoadControls();
  if (!SaveSite(app_, site_, settings_)) WarnOfFailedWrite();
}

std::string MainDialog::AskSiteName(const QString& question, const QString& proposal) {
  bool confirmed = false;
  const std::string name =
      QInputDialog::getText(this, FromStd(app_.ApplicationName()), question, QLineEdit::Normal, proposal, &confirmed)
          .trimmed()
          .toStdString();
  if (!confirmed) return {};
  if (const std::string problem = SiteNameProblem(app_, name); !problem.empty()) {
    MessageBox::ShowWarning(this, FromStd(app_.ApplicationName()), FromStd(problem));
    return {};
  }
  return name;
}

void MainDialog::OnNewSite() {
  const std::string name =
      AskSiteName(QString::fromUtf8(Translate("Name of the new site, which takes the values shown now:")),
                  FindControl<QLineEdit>(*this, kHostEdit)->text());
  if (name.empty()) return;
  SaveControls();
  if (!SaveSite(app_, name, settings_)) return WarnOfFailedWrite();
  site_ = name;
  ShowSites();
}

void MainDialog::OnRenameSite() {
  const std::string name = AskSiteName(QString::fromUtf8(Translate("New name of the site:")), FromStd(site_));
  if (name.empty()) return;
  if (!RenameSite(app_, site_, name)) return WarnOfFailedWrite();
  site_ = name;
  ShowSites();
}

// The dialog keeps the values; they only stop belonging to a site.
void MainDialog::OnDeleteSite() {
  if (!DeleteSite(app_, site_)) return WarnOfFailedWrite();
  site_.clear();
  ShowSites();
}

void MainDialog::OnAbout() {
  AboutDialog about(this);
  about.exec();
}

bool MainDialog::OnSysCommand(unsigned commandId) {
  if ((commandId & 0xFFF0) == kAboutCommand) {
    OnAbout();
    return true;
  }
  if ((commandId & 0xFFF0) == kCloseCommand) {
    close();
    return true;
  }
  return false;
}

// Linux window managers keep the window menu to themselves, so the dialog's
// own context menu stands in for it: the close command, then the about item.
void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  connect(menu.addAction(QString::fromUtf8(Translate("&Close\tAlt+F4"))), &QAction::triggered, this,
          [this] { OnSysCommand(kCloseCommand); });
  const std::string& aboutText = LoadString(StringId::AboutMenuItem);
  if (!aboutText.empty()) {
    menu.addSeparator();
    connect(menu.addAction(FromStd(aboutText)), &QAction::triggered, this, [this] { OnSysCommand(kAboutCommand); });
  }
  menu.exec(event->globalPos());
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedDirectory(*event).isEmpty() && (event->possibleActions() & Qt::CopyAction)) {
    // Never a move: the source would then delete the folder after the drop.
    event->setDropAction(Qt::CopyAction);
    event->accept();
  }
}

// Like typing into the edit, also during a run: the field is read at the
// next "&Process".
void MainDialog::dropEvent(QDropEvent* event) {
  const QString directory = DraggedDirectory(*event);
  if (directory.isEmpty()) return;
  FindControl<QLineEdit>(*this, kLocalDirEdit)->setText(directory);
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

// An ignored drag enter goes on to the parent widgets, so the dialog decides.
bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::DragEnter && static_cast<QDragEnterEvent*>(event)->mimeData()->hasUrls()) {
    event->ignore();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::ShowStatusAndProcessInput(const std::string& status, const std::string& total) {
  statusLabel_->setText(FromStd(status));
  totalLabel_->setText(FromStd(total));
  ProcessPendingEvents(*this);
}

void MainDialog::ProcessInput() { ProcessPendingEvents(*this); }

void MainDialog::ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent, const std::string& total) {
  totalLabel_->setText(FromStd(total));
  runView_->ShowProgress(filesSettled, bytesSent);
}

std::string MainDialog::TrustedCertificate(const std::string& site) {
  return app_.ReadSettingString(kCertificatesSection, site);
}

bool MainDialog::TrustCertificate(const std::string& site, const std::string& fingerprint, const std::string& message) {
  if (!MessageBox::AskYesNo(
          this, FromStd(app_.ApplicationName()),
          FromStd(message + "\n\n" + FormatText(Translate("Trust this certificate for %s from now on?"), {site}))))
    return false;
  if (!app_.WriteSettingString(kCertificatesSection, site, fingerprint)) WarnOfFailedWrite();
  return true;
}

bool MainDialog::ConfirmDeletion(const std::string& question) {
  return MessageBox::AskYesNo(this, FromStd(app_.ApplicationName()), FromStd(question));
}

void MainDialog::ShowMessage(const std::string& text) {
  MessageBox::ShowWarning(this, FromStd(app_.ApplicationName()), FromStd(text));
}

}  // namespace ostrel
