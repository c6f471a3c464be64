#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

// How the run settled a file it considered.
enum class FileOutcome { Copied, Skipped, Failed, Stopped, WouldCopy };

// The one way a run reaches the user. The desktop dialog implements it with
// its status line, total label, message boxes and event pump; the headless
// publisher with standard output and standard error; tests with a recorder.
class PublisherUserInterface {
 public:
  virtual ~PublisherUserInterface() = default;

  // Shows the status line and the total, then handles every input that is
  // waiting, without waiting for more. Handlers run re-entrantly from here:
  // they may only ask (the rule of docs/ARCHITECTURE.md, "The event pump").
  virtual void ShowStatusAndProcessInput(const std::string& status, const std::string& total) = 0;

  // Handles every input that is waiting, without changing what is shown; a
  // long wait calls it every 100 ms. Nothing to do where input cannot wait.
  virtual void ProcessInput() {}

  // How far the run is: files settled (copied, skipped, failed or found to
  // copy in a dry run) and bytes sent, the part sent of files under way
  // included; `total` is the latter as the total shows it. Called whenever
  // either changes and, during a transfer, every 100 ms.
  virtual void ShowProgress(std::int64_t /*filesSettled*/, std::int64_t /*bytesSent*/, const std::string& /*total*/) {}

  // The run is at this local file now; its status line follows. With several
  // connections several files are under way, each started once.
  virtual void FileStarted(const std::string& /*localPath*/) {}
  // A file the run has settled, and for a failed one the reason shown.
  // Skipped files and those a dry run would copy are settled at once.
  virtual void FileSettled(const std::string& /*localPath*/, FileOutcome /*outcome*/, const std::string& /*reason*/) {}

  // The fingerprint ("SHA256:...") the user trusts for the site ("host:port")
  // beyond the system's trust store; empty when none.
  virtual std::string TrustedCertificate(const std::string& /*site*/) { return {}; }
  // Asks whether the certificate described by `message` is to be trusted for
  // the site from now on, and keeps the answer; false where nobody can be asked.
  virtual bool TrustCertificate(const std::string& /*site*/, const std::string& /*fingerprint*/,
                                const std::string& /*message*/) {
    return false;
  }

  // Asked once a run, before its first deletion, with the question that
  // counts and names the remote entries the local tree lacks; true deletes
  // them. A front end that cannot ask, and was not told by its options,
  // deletes nothing.
  virtual bool ConfirmDeletion(const std::string& /*question*/) { return false; }

  // Shows a message with one OK button and returns when it has been dismissed.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace ostrel
