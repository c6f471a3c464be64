#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "engine/Publisher.h"
#include "engine/RunLock.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpError.h"
#include "ftp/FtpHostAddress.h"
#include "ftp/FtpSession.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"
#include "resources/StringTable.h"

namespace ostrel {
namespace {

bool IsExistingDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool EndsWithSlash(const std::string& text) { return !text.empty() && (text.back() == '/' || text.back() == '\\'); }

}  // namespace

bool Publisher::SettingsAreComplete() {
  std::string localDirectory = settings_.LocalDir;
  if (localDirectory.empty()) {
    ShowMessage(LoadString(StringId::LocalDirectoryNotSpecified));
    return false;
  }
  if (settings_.Host.empty()) {
    ShowMessage(LoadString(StringId::RemoteSiteNotSpecified));
    return false;
  }
  // "/" is the root itself, not an empty name.
  if (localDirectory.size() > 1 && localDirectory.back() == '/') localDirectory.pop_back();
  if (!IsExistingDirectory(localDirectory)) {
    ShowMessage(LoadString(StringId::CannotFindLocalDirectory) + EscapeControlCharacters(settings_.LocalDir));
    return false;
  }
  // A bare USER is no logon any server accepts; saying so costs no connection.
  if (settings_.Name.empty()) {
    ShowMessage(Translate("No user name is given: fill in the user name for the site (anonymous for a public one)."));
    return false;
  }
  // A pattern refused or unreadable would change what goes up and what is
  // deleted: better to stop before logging on.
  excluded_ = {};
  if (const std::string problem = LoadExcludePatterns(settings_, excluded_); !problem.empty()) {
    ShowMessage(problem);
    return false;
  }
  return true;
}

RunResult Publisher::RunPublishing(const RunSettings& settings) {
  result_ = {};
  settings_ = settings;
  confirmedOptions_.reset();
  if (!SettingsAreComplete()) return result_;
  deleting_ = result_.deleting = settings_.DeleteRemote != 0;
  leftovers_.clear();
  uncertainDirectories_.clear();
  runStartUtc_ = std::time(nullptr);
  // Another run to the same site would take this one's temporary uploads for
  // leftovers of a killed run, and the other way round. A dry run changes
  // nothing and goes alongside.
  std::optional<RunLock> runLock;
  if (Mode == PublishMode::Publish) {
    runLock.emplace(RunLockFile(RunLockDirectory(), settings_.Name, settings_.Host, settings_.RemoteDir));
    if (runLock->GetState() == RunLock::State::HeldElsewhere) {
      ShowMessage(FormatText(Translate("Another publish to %s %s is running"), {settings_.Host, settings_.RemoteDir}));
      return result_;
    }
    // A lock that cannot be made (a read-only home, a file system without
    // flock) must not keep anyone from publishing: it only guards against an
    // overlap that is rare, while refusing would stop every run. So the run
    // goes on without it, and the status line says so once.
    if (runLock->GetState() == RunLock::State::Unavailable)
      ShowStatus(Translate("Runs at the same time are not guarded: ") + runLock->Problem());
  }

  ShowStatus(LoadString(StringId::LoggingOn));
  enteredDirectories_ = {};
  preparedAhead_.clear();
  listingFailureSaid_ = listingCutSaid_ = false;
  activeStalled_ = std::make_shared<std::atomic<bool>>(false);
  const bool remoteDirectoryEntered = LogOnAndPublish();
  runConnection_ = nullptr;
  result_.bytesCopied = TotalCopied;
  result_.stopped = Running == 0;
  if (remoteDirectoryEntered) {
    ShowStatus(LoadString(StringId::Finished));
    result_.finished = true;
  }
  return result_;
}

bool Publisher::LogOnAndPublish() {
  bool remoteDirectoryEntered = true;
  // A certificate the user decides to trust lets the run log on once more.
  for (bool logOnAgain = true; logOnAgain;) {
    logOnAgain = false;
    try {
      FtpTimeouts timeouts = Timeouts;
      // Every wait of the FTP layer takes input and ends at a stop request.
      timeouts.stopRequested = [this] { return KeepInformedAndCheckStop(); };
      FtpSession session(applicationName_, timeouts);
      session.SetFirstDataMode(settings_.Passive ? FtpDataMode::Passive : FtpDataMode::Active);
      session.ShareActiveStall(activeStalled_);
      session.AllowWrites(Mode == PublishMode::Publish);
      session.SetTlsTrust({userInterface_.TrustedCertificate(CertificateSite())});
      remoteDirectoryEntered = RunGuarded(session);
    } catch (const FtpError& error) {
      const std::string site = CertificateSite();
      // A certificate that changed since it was trusted is only ever refused,
      // and so is one that only a data connection presented.
      if (error.Code() == FtpError::kUntrustedCertificate && !error.CertificateFingerprint().empty() &&
          userInterface_.TrustedCertificate(site).empty() &&
          userInterface_.TrustCertificate(site, error.CertificateFingerprint(), error.Message())) {
        logOnAgain = true;
        continue;
      }
      // The user who asked to stop needs no message about it.
      if (error.Code() != FtpError::kStopped) ShowMessage(error.Message());
    } catch (const std::bad_alloc&) {
      ShowMessage(Translate("Out of memory: the run was stopped. Close other programs and try again."));
    } catch (const std::exception& error) {
      // Whatever else goes wrong ends the run like an FTP error does: the
      // connection is closed on the way out and the dialog becomes usable again.
      ShowMessage(error.what());
    }
  }
  return remoteDirectoryEntered;
}

std::string Publisher::CertificateSite() const {
  const std::optional<FtpHostAddress> address = ParseFtpHost(settings_.Host);
  return address ? DescribeHostAddress(*address) : settings_.Host;
}

// Steps from the logon to the end of the walk; false when the remote directory
// could not be entered, a failure that ends the run without "Finished.". The
// connection is released on every way out, also when an error passes through.
bool Publisher::RunGuarded(FtpSession& session) {
  std::unique_ptr<FtpConnection> connection = session.Connect(settings_.Host, settings_.Name, settings_.Password);
  connection->SetPauseHandler([this](std::chrono::milliseconds pause) { return PauseBeforeNewLogon(pause); });
  runConnection_ = connection.get();

  if (settings_.RemoteDir.empty() || (settings_.RemoteDir.front() != '/' && settings_.RemoteDir.front() != '\\'))
    settings_.RemoteDir = "/" + settings_.RemoteDir;
  // A directory typed with backslashes is kept as typed in the settings, but
  // the server is asked for it with slashes, as for every level of the walk.
  std::string remoteDirectory = settings_.RemoteDir;
  std::replace(remoteDirectory.begin(), remoteDirectory.end(), '\\', '/');
  if (!connection->SetCurrentDirectory(remoteDirectory)) {
    // The user who asked to stop needs no message about it.
    if (connection->LastError().Code() != FtpError::kStopped)
      ShowMessage(LoadString(StringId::CannotSetRemoteDirectory) + EscapeControlCharacters(settings_.RemoteDir));
    connection->Close();
    ShowStatus("");
    session.Close();
    return false;
  }
  if (!settings_.LocalDir.empty() && settings_.LocalDir.back() != '/') settings_.LocalDir += '/';
  if (!EndsWithSlash(settings_.RemoteDir)) settings_.RemoteDir += '/';

  enteredDirectories_.FirstVisit(settings_.LocalDir);

  TotalCopied = 0;
  ShowStatus(LoadString(StringId::Processing));
  OpenUploadPool();
  try {
    PublishDirectory(*connection, "");
    FinishUploads(connection.get());
    // Only now: new pages are in place before old ones go.
    DeleteRemoteLeftovers(*connection);
  } catch (...) {
    // The uploads under way end first, so that what they did is reported.
    FinishUploads(nullptr);
    throw;
  }
  connection->Close();
  session.Close();
  return true;
}

bool Publisher::PauseBeforeNewLogon(std::chrono::milliseconds pause) {
  ShowStatus(
      FormatText(Translate("The connection to the server was lost; logging on again in %s..."), {DescribeWait(pause)}));
  constexpr std::chrono::milliseconds kSlice{100};
  for (std::chrono::milliseconds waited{0}; waited < pause && Running; waited += kSlice) {
    std::this_thread::sleep_for(kSlice);
    userInterface_.ProcessInput();
  }
  return Running != 0;
}

}  // namespace ostrel
