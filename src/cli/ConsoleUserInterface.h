#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/PublisherUserInterface.h"

namespace ostrel {

class Publisher;

enum class StatusLines { Show, Hide };

// The run's user interface on a terminal, in a script or under cron: each
// status line on standard output as it happens, each message on standard
// error, prefixed with the program's name. The pump's input is the stop
// signal, which it passes on to the run's Running flag. On request a live
// progress line stays below them all, redrawn in place.
class ConsoleUserInterface : public PublisherUserInterface {
 public:
  ConsoleUserInterface(StatusLines statusLines, std::string messagePrefix);

  // The run whose Running flag a stop request clears; set before the run.
  void Attach(Publisher& publisher) { publisher_ = &publisher; }

  // Turns the progress line on for a run of localDir that will consider
  // filesToConsider files; the rate counts from now.
  void StartProgress(std::int64_t filesToConsider, std::string localDir);
  // Takes the progress line away, so that what follows starts a clean line.
  void EndProgress();

  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override;
  void ProcessInput() override;
  void ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent, const std::string& total) override;
  void ShowMessage(const std::string& text) override;
  // --delete was the answer, given with the options; --max-delete the rail.
  bool ConfirmDeletion(const std::string&) override { return true; }
  void FileStarted(const std::string& localPath) override;
  void FileSettled(const std::string& localPath, FileOutcome outcome, const std::string& reason) override;
  std::string TrustedCertificate(const std::string& site) override {
    return trustedCertificate ? trustedCertificate(site) : std::string();
  }

  // Where the fingerprint a site is trusted with comes from; never a prompt.
  std::function<std::string(const std::string& site)> trustedCertificate;

 private:
  struct Progress {
    std::int64_t files = 0;
    std::int64_t filesDone = 0;
    std::int64_t bytes = 0;
    std::string currentFile;  // as the run named it, local directory included
    std::string localDir;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point drawn;
    bool onScreen = false;
  };

  void ClearProgress();
  void DrawProgress();

  StatusLines statusLines_;
  std::string messagePrefix_;
  Publisher* publisher_ = nullptr;
  std::optional<Progress> progress_;
};

}  // namespace ostrel
