#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/PublisherUserInterface.h"
#include "platform/FileDescriptor.h"

namespace ostrel {

// One thing a run told the user.
struct RunLogEntry {
  enum class Kind { Status, Message, File };

  std::chrono::system_clock::time_point time;
  Kind kind = Kind::Status;
  std::string text;  // the status line or the message; a file's local path
  FileOutcome outcome = FileOutcome::Copied;
  std::string reason;  // why a file failed

  // What "failures only" keeps: messages, and files that did not arrive.
  bool IsFailure() const;
};

enum class LogTime { Clock, DateAndClock };

// The entry as lines without their line ending ("12:30:05 Copied: /site/a.htm"),
// the time local, control characters escaped as on a terminal so that a name
// cannot forge a line; each line of a message is a line of its own.
std::vector<std::string> FormatRunLogEntry(const RunLogEntry& entry, LogTime time);

// Where each run's log is kept: $XDG_STATE_HOME/ostrel/logs when that is an
// absolute path, else ~/.local/state/ostrel/logs.
std::filesystem::path RunLogDirectory();

// Logs kept in RunLogDirectory; a new run's log makes the oldest go.
inline constexpr std::size_t kKeptRunLogs = 30;

// The record of a run, from the events the run sends to `next`, which it
// passes on unchanged; the run is given this in place of `next`. Every entry
// goes to the run's log file as it happens, so that a killed run leaves what
// it did so far.
class RunLog : public PublisherUserInterface {
 public:
  explicit RunLog(PublisherUserInterface& next) : next_(next) {}

  // Starts a run's record in a new file in `directory` named by the date,
  // time and `site`. Why it cannot be written, or empty.
  std::string Begin(const std::filesystem::path& directory, const std::string& site);
  // The run's record goes to this file too, appended. Why it cannot, or empty.
  std::string AppendTo(const std::filesystem::path& file);
  // The run's last line, then the files are closed.
  void End(const std::string& summary);

  // The log file of the last run begun; empty when it could not be made.
  const std::filesystem::path& File() const { return file_; }
  // Told of every entry as it is recorded.
  std::function<void(const RunLogEntry&)> onEntry;

  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override;
  void ProcessInput() override { next_.ProcessInput(); }
  void ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent, const std::string& total) override {
    next_.ShowProgress(filesSettled, bytesSent, total);
  }
  void FileStarted(const std::string& localPath) override { next_.FileStarted(localPath); }
  void FileSettled(const std::string& localPath, FileOutcome outcome, const std::string& reason) override;
  std::string TrustedCertificate(const std::string& site) override { return next_.TrustedCertificate(site); }
  bool TrustCertificate(const std::string& site, const std::string& fingerprint, const std::string& message) override {
    return next_.TrustCertificate(site, fingerprint, message);
  }
  bool ConfirmDeletion(const std::string& question) override { return next_.ConfirmDeletion(question); }
  void ShowMessage(const std::string& text) override;

 private:
  void Record(RunLogEntry entry);

  PublisherUserInterface& next_;
  std::filesystem::path file_;
  std::vector<FileDescriptor> outputs_;
};

}  // namespace ostrel
