#include "app/MainDialog.h"

#include <QCompleter>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <array>
#include <utility>

#include "app/AboutDialog.h"
#include "app/DialogBuilder.h"
#include "app/EventPump.h"
#include "app/MessageBox.h"
#include "app/OptionsDialog.h"
#include "app/ProgramIcon.h"
#include "app/PublisherApp.h"
#include "platform/Translation.h"
#include "resources/DialogTemplates.h"
#include "resources/StringTable.h"
#include "settings/SettingsTable.h"

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
    : QDialog(parent), app_(app), publisher_(*this, app.ApplicationName()) {
  LoadSettings(app_, settings_);

  BuildDialog(*this, MainDialogTemplate());
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

void MainDialog::SaveSettings() {
  if (!ostrel::SaveSettings(app_, settings_, SettingGroup::Connection))
    MessageBox::ShowWarning(this, FromStd(app_.ApplicationName()), FromStd(app_.WriteFailureMessage()));
}

void MainDialog::OnProcess() {
  SaveControls();
  SaveSettings();
  processButton_->setEnabled(false);
  closeButton_->setText(QString::fromUtf8(Translate("Cancel")));
  publisher_.Running = 1;
  publisher_.RunPublishing(settings_);
  publisher_.Running = 0;
  closeButton_->setText(QString::fromUtf8(Translate("&Close")));
  processButton_->setEnabled(true);
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
  if (publisher_.Running != 0) publisher_.ApplyOptions(settings_);
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

void MainDialog::ShowProgress(std::int64_t, std::int64_t, const std::string& total) {
  totalLabel_->setText(FromStd(total));
}

std::string MainDialog::TrustedCertificate(const std::string& site) {
  return app_.ReadSettingString(kCertificatesSection, site);
}

bool MainDialog::TrustCertificate(const std::string& site, const std::string& fingerprint, const std::string& message) {
  if (!MessageBox::AskYesNo(
          this, FromStd(app_.ApplicationName()),
          FromStd(message + "\n\n" + FormatText(Translate("Trust this certificate for %s from now on?"), {site}))))
    return false;
  if (!app_.WriteSettingString(kCertificatesSection, site, fingerprint))
    MessageBox::ShowWarning(this, FromStd(app_.ApplicationName()), FromStd(app_.WriteFailureMessage()));
  return true;
}

bool MainDialog::ConfirmDeletion(const std::string& question) {
  return MessageBox::AskYesNo(this, FromStd(app_.ApplicationName()), FromStd(question));
}

void MainDialog::ShowMessage(const std::string& text) {
  MessageBox::ShowWarning(this, FromStd(app_.ApplicationName()), FromStd(text));
}

}  // namespace ostrel
