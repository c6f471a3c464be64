#include <algorithm>
#include <utility>

#include "engine/Publisher.h"
#include "engine/RemoteDirectoryListing.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpSession.h"
#include "platform/DisplayText.h"
#include "resources/StringTable.h"

namespace ostrel {
namespace {

// Everything a new logon of this run needs, copied when the run opens its
// extra connections, so that their threads read nothing the dialog may change.
struct LogOnParameters {
  std::string agentName;
  std::string host;
  std::string user;
  std::string password;
  FtpTimeouts timeouts;
  FtpDataMode firstDataMode = FtpDataMode::Passive;
  std::string trustedFingerprint;
  std::shared_ptr<std::atomic<bool>> activeStalled;

  std::unique_ptr<FtpConnection> LogOn(std::function<bool()> stopRequested) const {
    FtpTimeouts connectionTimeouts = timeouts;
    connectionTimeouts.stopRequested = std::move(stopRequested);
    FtpSession session(agentName, connectionTimeouts);
    session.SetFirstDataMode(firstDataMode);
    session.ShareActiveStall(activeStalled);
    session.SetTlsTrust({trustedFingerprint});
    return session.Connect(host, user, password);
  }
};

}  // namespace

void Publisher::OpenUploadPool() {
  LogOnParameters parameters{applicationName_,
                             settings_.Host,
                             settings_.Name,
                             settings_.Password,
                             Timeouts,
                             settings_.Passive ? FtpDataMode::Passive : FtpDataMode::Active,
                             userInterface_.TrustedCertificate(CertificateSite()),
                             activeStalled_};
  parameters.timeouts.stopRequested = nullptr;
  uploadRules_.replaceWhole = true;
  uploadRules_.lostModesSaid = false;
  uploadRules_.logOnAgain = [parameters] { return parameters.LogOn(nullptr); };
  uploadRules_.deleteLeftoversBefore = LeftoversBefore(runStartUtc_);
  uploadPool_.reset();
  const int extraConnections = std::clamp(settings_.Connections, kMinimumConnections, kMaximumConnections) - 1;
  if (Mode == PublishMode::Publish && extraConnections > 0)
    uploadPool_ = std::make_unique<UploadPool>(
        extraConnections, [parameters](std::function<bool()> stop) { return parameters.LogOn(std::move(stop)); },
        uploadRules_, Running);
}

void Publisher::DeliverUploadEvents(bool messagesAllowed) {
  if (!uploadPool_ || deliveringEvents_) return;
  deliveringEvents_ = true;
  for (UploadPool::Event& event : uploadPool_->TakeEvents()) undeliveredEvents_.push_back(std::move(event));
  while (!undeliveredEvents_.empty()) {
    const UploadPool::Event event = std::move(undeliveredEvents_.front());
    if (event.kind == UploadPool::Event::Kind::Failed && !messagesAllowed) break;
    undeliveredEvents_.pop_front();
    switch (event.kind) {
      case UploadPool::Event::Kind::Started:
        userInterface_.FileStarted(event.job.localPath);
        userInterface_.ShowStatusAndProcessInput(LoadString(StringId::Copying) + event.job.localPath,
                                                 FormatTotal(BytesSentSoFar()));
        break;
      case UploadPool::Event::Kind::Notice:
        userInterface_.ShowStatusAndProcessInput(event.text, FormatTotal(BytesSentSoFar()));
        break;
      case UploadPool::Event::Kind::Copied:
        CountUpload(event.job, true);
        break;
      case UploadPool::Event::Kind::Failed:
        ShowMessage(LoadString(StringId::CannotCopyFile) + EscapeControlCharacters(event.job.localPath) + "\n" +
                    event.text);
        CountUpload(event.job, false, event.text);
        break;
      case UploadPool::Event::Kind::GivenUp:
        ReportGivenUp(event.job);
        break;
    }
  }
  deliveringEvents_ = false;
}

std::optional<PreparedDirectory> Publisher::AwaitPrepared(const std::string& remotePath) {
  for (;;) {
    DeliverUploadEvents(true);
    bool underWay = false;
    std::optional<PreparedDirectory> prepared = uploadPool_->TakePrepared(remotePath, underWay);
    if (prepared || !underWay || !Running) return prepared;
    uploadPool_->WaitForChange(kStopCheckInterval);
    userInterface_.ProcessInput();
  }
}

void Publisher::FinishUploads(FtpConnection* connection) {
  if (!uploadPool_) return;
  if (connection == nullptr) uploadPool_->StopHandingOut();
  for (;;) {
    if (!Running) uploadPool_->StopHandingOut();
    DeliverUploadEvents(true);
    // The walk's connection is free now: it takes its share of what is left.
    if (connection != nullptr && Running) {
      if (std::optional<UploadJob> job = uploadPool_->TakeWaiting()) {
        StartFile(LoadString(StringId::Copying), job->localPath);
        CarryOut(*connection, std::move(*job), false);
        continue;
      }
    }
    if (uploadPool_->IsIdle()) break;
    uploadPool_->WaitForChange(kStopCheckInterval);
    userInterface_.ProcessInput();
    ReportProgress();
  }
  DeliverUploadEvents(true);
  uploadPool_.reset();
}

std::int64_t Publisher::BytesSentSoFar() const {
  return TotalCopied + ownBytesInFlight_ + (uploadPool_ ? uploadPool_->BytesInFlight() : 0);
}

void Publisher::ReportProgress() {
  const std::int64_t bytes = BytesSentSoFar();
  userInterface_.ShowProgress(result_.filesCopied + result_.filesSkipped + result_.filesFailed, bytes,
                              FormatTotal(bytes));
}

bool Publisher::KeepInformedAndCheckStop() {
  userInterface_.ProcessInput();
  if (uploadPool_) {
    if (!Running) uploadPool_->StopHandingOut();
    DeliverUploadEvents(false);
  }
  ReportProgress();
  return Running == 0;
}

}  // namespace ostrel
