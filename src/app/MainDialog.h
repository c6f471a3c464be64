#pragma once

#include <QDialog>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/RunView.h"
#include "engine/Publisher.h"
#include "engine/PublisherUserInterface.h"
#include "engine/RunLog.h"

class QComboBox;
class QContextMenuEvent;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QPushButton;

namespace ostrel {

class PublisherApp;

// The program's window. It holds the values the user edits and the engine
// that runs with them, and is the run's user interface: status line, total,
// message boxes and the event pump that lets the user act while a run is in
// progress.
class MainDialog : public QDialog, private PublisherUserInterface {
 public:
  // The window-menu command that opens the about box; every command whose
  // identifier has these bits above the lowest four does the same.
  static constexpr unsigned kAboutCommand = 16;
  // The platform's close command, which the window menu also offers.
  static constexpr unsigned kCloseCommand = 0xF060;

  explicit MainDialog(PublisherApp& app, QWidget* parent = nullptr);

  // "&Process": takes the edits, saves the connection values and runs.
  void OnProcess();
  // "&Close"/"Cancel", Esc and the window's close command: during a run a
  // stop request, otherwise saves the connection values and closes.
  void OnCancel();
  // "&Options...": on OK the option values become the run settings,
  // even in the middle of a run.
  void OnOptions();
  // "About..." and the window menu's about item.
  void OnAbout();
  // A site chosen in the "Site" box: its values fill the dialog and become
  // those of [Parameters]; the password box is emptied.
  void OnSiteChosen(const std::string& site);
  // The items of the "Sites..." menu. A new site takes the dialog's values.
  void OnNewSite();
  void OnRenameSite();
  void OnDeleteSite();
  // A window-menu command; returns whether it was handled.
  bool OnSysCommand(unsigned commandId);

  // Writes LocalDir, Host, Name and RemoteDir as the members hold them, to
  // the chosen site too; a failed write is reported in a message box.
  void SaveSettings();

  void reject() override;

  // The values the dialog shows and the next run takes.
  RunSettings& Settings() { return settings_; }
  bool IsRunning() const { return publisher_.Running != 0; }
  // The saved site the dialog's values belong to; empty when none.
  const std::string& Site() const { return site_; }
  // The log file of the last run.
  const std::filesystem::path& LogFile() const { return runLog_.File(); }

 protected:
  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override;
  void ProcessInput() override;
  void ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent, const std::string& total) override;
  std::string TrustedCertificate(const std::string& site) override;
  bool TrustCertificate(const std::string& site, const std::string& fingerprint, const std::string& message) override;
  void ShowMessage(const std::string& text) override;
  bool ConfirmDeletion(const std::string& question) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // A single local folder dropped anywhere on the dialog becomes the local
  // directory; any other drop of URLs is refused.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadControls();
  void SaveControls();
  void AttachDirectoryCompleter();
  void AttachSitesMenu();
  // The "Site" box filled anew from the settings file, site_ chosen.
  void ShowSites();
  // The name the user gives in a small box; empty when cancelled or refused.
  std::string AskSiteName(const QString& question, const QString& proposal);
  void WarnOfFailedWrite();
  // The desktop is told of a long run's end that the user is not looking at.
  void NoticeEndOfRun(const RunResult& result, std::chrono::steady_clock::duration took);

  PublisherApp& app_;
  RunSettings settings_;
  std::string site_;
  // Stands between the run and this dialog, keeping the run's log.
  RunLog runLog_;
  Publisher publisher_;
  std::unique_ptr<RunView> runView_;
  QComboBox* siteCombo_;
  QPushButton* processButton_;
  QPushButton* closeButton_;
  QLabel* statusLabel_;
  QLabel* totalLabel_;
};

}  // namespace ostrel
