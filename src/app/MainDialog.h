#pragma once

#include <QDialog>
#include <string>

#include "engine/Publisher.h"
#include "engine/PublisherUserInterface.h"

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
  // A window-menu command; returns whether it was handled.
  bool OnSysCommand(unsigned commandId);

  // Writes LocalDir, Host, Name and RemoteDir as the members hold them; a
  // failed write is reported in a message box.
  void SaveSettings();

  void reject() override;

  // The values the dialog shows and the next run takes.
  RunSettings& Settings() { return settings_; }
  bool IsRunning() const { return publisher_.Running != 0; }

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

  PublisherApp& app_;
  RunSettings settings_;
  Publisher publisher_;
  QPushButton* processButton_;
  QPushButton* closeButton_;
  QLabel* statusLabel_;
  QLabel* totalLabel_;
};

}  // namespace ostrel
