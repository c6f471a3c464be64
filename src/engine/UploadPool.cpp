#include "engine/UploadPool.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "ftp/FtpError.h"
#include "platform/Translation.h"

namespace ostrel {

UploadPool::UploadPool(int connections, LogOn logOn, UploadRules& rules, const std::atomic<std::int32_t>& running)
    : logOn_(std::move(logOn)), rules_(rules), running_(running), connections_(connections) {
  threads_.reserve(static_cast<std::size_t>(connections));
  for (int index = 0; index < connections; ++index) threads_.emplace_back([this] { Work(); });
}

UploadPool::~UploadPool() {
  {
    const std::lock_guard lock(mutex_);
    handingOut_ = false;
    preparations_.clear();
    uploads_.clear();
  }
  closing_ = true;
  workArrived_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool UploadPool::HandOut(UploadJob job, bool evenWhenFull) {
  {
    const std::lock_guard lock(mutex_);
    if (!handingOut_ || connections_ == 0 || (!evenWhenFull && IsFull())) return false;
    uploads_.push_back(std::move(job));
  }
  workArrived_.notify_one();
  return true;
}

void UploadPool::Prepare(const std::string& remoteDirectory, Preparing how) {
  {
    const std::lock_guard lock(mutex_);
    if (!handingOut_ || connections_ == 0) return;
    preparations_.push_back({remoteDirectory, how});
  }
  workArrived_.notify_one();
}

std::optional<PreparedDirectory> UploadPool::TakePrepared(const std::string& remoteDirectory, bool& underWay) {
  const std::lock_guard lock(mutex_);
  underWay = false;
  if (const auto done = prepared_.find(remoteDirectory); done != prepared_.end()) {
    PreparedDirectory result = std::move(done->second);
    prepared_.erase(done);
    return result;
  }
  if (std::find(preparing_.begin(), preparing_.end(), remoteDirectory) != preparing_.end()) {
    underWay = true;
    return std::nullopt;
  }
  std::erase_if(preparations_,
                [&](const Preparation& preparation) { return preparation.remoteDirectory == remoteDirectory; });
  return std::nullopt;
}

std::optional<UploadJob> UploadPool::TakeWaiting(bool onlyWhereOthersHaveWork) {
  const std::lock_guard lock(mutex_);
  // While walking, only where every other connection has one waiting.
  if (uploads_.empty() || (onlyWhereOthersHaveWork && uploads_.size() <= static_cast<std::size_t>(connections_)))
    return std::nullopt;
  UploadJob job = std::move(uploads_.front());
  uploads_.pop_front();
  return job;
}

void UploadPool::StopHandingOut() {
  const std::lock_guard lock(mutex_);
  handingOut_ = false;
  preparations_.clear();
  uploads_.clear();
}

std::vector<UploadPool::Event> UploadPool::TakeEvents() {
  const std::lock_guard lock(mutex_);
  return std::exchange(events_, {});
}

void UploadPool::WaitForChange(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  somethingHappened_.wait_for(lock, wait, [&] { return generation_ != seenGeneration_; });
  seenGeneration_ = generation_;
}

bool UploadPool::IsIdle() {
  const std::lock_guard lock(mutex_);
  // Without a connection left, what waits is the caller's to take or drop.
  return busy_ == 0 && (connections_ == 0 || (uploads_.empty() && preparations_.empty()));
}

// Enough waiting that no connection runs out while the walk sends a file of
// its own: each takes a few round trips, as many as the walk's does.
bool UploadPool::IsFull() const {
  return uploads_.size() >= static_cast<std::size_t>(connections_) * kWaitingPerConnection;
}

void UploadPool::Post(Event event) {
  {
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    ++generation_;
  }
  somethingHappened_.notify_all();
}

void UploadPool::SayOnce(std::string text) {
  {
    const std::lock_guard lock(mutex_);
    if (std::exchange(refusalSaid_, true)) return;
  }
  Post({Event::Kind::Notice, {}, std::move(text)});
}

void UploadPool::Work() {
  std::unique_ptr<FtpConnection> connection;
  // A stop request ends the waits of this connection as it ends the walk's.
  const auto stopping = [this] { return closing_ || running_ == 0; };
  try {
    connection = logOn_(stopping);
    connection->SetPauseHandler([stopping](std::chrono::milliseconds pause) {
      for (auto waited = std::chrono::milliseconds(0); waited < pause && !stopping(); waited += kStopCheckInterval)
        std::this_thread::sleep_for(kStopCheckInterval);
      return !stopping();
    });
  } catch (const FtpError& error) {
    // Servers limit the connections of one user; the run goes on with those
    // it has, its own among them.
    if (error.Code() != FtpError::kStopped)
      SayOnce(
          FormatText(Translate("The server refused another connection (%s); going on with fewer."), {error.Message()}));
  } catch (const std::exception& error) {
    SayOnce(FormatText(Translate("Another connection could not be opened (%s); going on with fewer."), {error.what()}));
  }

  if (connection) {
    Serve(*connection);
    connection->Close();
  }
  {
    const std::lock_guard lock(mutex_);
    --connections_;
    ++generation_;
  }
  somethingHappened_.notify_all();
}

void UploadPool::Serve(FtpConnection& connection) {
  FileUploader uploader(connection, rules_);
  // Taken while an upload is being confirmed, so that its data port can be
  // asked for in the same round trip as the rename.
  std::optional<WorkItem> next;
  uploader.SetNextTransferCheck([&] {
    if (!next) {
      const std::lock_guard lock(mutex_);
      if (!closing_) next = TakeWork(connection.CurrentDirectory());
    }
    if (!next || !next->UsesDataConnection()) return std::optional<FileUploader::NextTransfer>();
    return std::optional(FileUploader::NextTransfer{next->upload ? &*next->upload : nullptr});
  });
  while (!connection.IsBroken()) {
    std::optional<WorkItem> item = std::exchange(next, std::nullopt);
    if (!item) {
      std::unique_lock lock(mutex_);
      if (closing_) break;
      item = TakeWork(connection.CurrentDirectory());
      if (!item) {
        lock.unlock();
        connection.ReleasePortOpenedAhead();
        lock.lock();
        // A stop request is seen here at once; the walk drops what waits soon after.
        workArrived_.wait_for(lock, kStopCheckInterval,
                              [&] { return closing_ || !preparations_.empty() || (!uploads_.empty() && running_); });
        if (closing_) break;
        item = TakeWork(connection.CurrentDirectory());
      }
      if (!item) continue;
    }
    somethingHappened_.notify_all();
    bool failed = false;
    try {
      if (item->preparation) RunPreparation(connection, *item->preparation);
      // One taken before a stop request is dropped, as those waiting are.
      if (item->upload && running_ != 0) RunUpload(uploader, std::move(*item->upload));
    } catch (const std::exception& error) {
      // Whatever else went wrong is this connection's end, not the run's;
      // a directory it was to prepare is left to the walk.
      SayOnce(FormatText(Translate("A connection failed (%s); going on with fewer."), {error.what()}));
      failed = true;
    }
    const std::lock_guard lock(mutex_);
    if (failed && item->preparation) std::erase(preparing_, item->preparation->remoteDirectory);
    --busy_;
    ++generation_;
    if (failed) break;
  }
  if (next) GiveBack(std::move(*next));
}

std::optional<UploadPool::WorkItem> UploadPool::TakeWork(const std::string& currentDirectory) {
  WorkItem item;
  // The walk waits for the directories it comes to next, so they go first.
  if (!preparations_.empty()) {
    item.preparation = std::move(preparations_.front());
    preparations_.pop_front();
    preparing_.push_back(item.preparation->remoteDirectory);
  } else if (!uploads_.empty() && running_ != 0) {
    // One for the directory the connection is in needs none entered.
    auto taken = std::find_if(uploads_.begin(), uploads_.end(),
                              [&](const UploadJob& job) { return job.remoteDirectory == currentDirectory; });
    if (taken == uploads_.end()) taken = uploads_.begin();
    item.upload = std::move(*taken);
    uploads_.erase(taken);
  } else {
    return std::nullopt;
  }
  ++busy_;
  return item;
}

void UploadPool::GiveBack(WorkItem item) {
  {
    const std::lock_guard lock(mutex_);
    if (item.preparation) {
      std::erase(preparing_, item.preparation->remoteDirectory);
      if (handingOut_) preparations_.push_front(std::move(*item.preparation));
    }
    if (item.upload && handingOut_) uploads_.push_front(std::move(*item.upload));
    --busy_;
    ++generation_;
  }
  workArrived_.notify_one();
  somethingHappened_.notify_all();
}

void UploadPool::RunPreparation(FtpConnection& connection, const Preparation& preparation) {
  PreparedDirectory result;
  const bool list = preparation.how == Preparing::EnterAndList;
  if (preparation.how == Preparing::Create) {
    // Empty once made; one the server refuses to make (made meanwhile, or a
    // file of that name) is left to the walk.
    result.entered = connection.CreateDirectory(preparation.remoteDirectory);
    result.listing.listed = result.entered;
  } else if (list && connection.Features().mlst) {
    // MLSD refuses a directory that does not exist, so a listing proves it
    // does, without entering it first. LIST may answer a missing one with
    // nothing, so there it is entered first.
    result.listing = ListRemoteDirectory(connection, preparation.remoteDirectory, rules_.deleteLeftoversBefore);
    result.entered = result.listing.listed;
  } else {
    result.entered = connection.SetCurrentDirectory(preparation.remoteDirectory);
    if (result.entered && list)
      result.listing = ListRemoteDirectory(connection, preparation.remoteDirectory, rules_.deleteLeftoversBefore);
  }
  result.refused = !result.entered && preparation.how != Preparing::Create;
  // A connection lost on the way proves nothing: the walk does it itself.
  if (connection.IsBroken()) result = {};
  {
    const std::lock_guard lock(mutex_);
    std::erase(preparing_, preparation.remoteDirectory);
    prepared_[preparation.remoteDirectory] = std::move(result);
    ++generation_;
  }
  somethingHappened_.notify_all();
}

void UploadPool::RunUpload(FileUploader& uploader, UploadJob job) {
  // A file that vanished since the walk saw it has nothing left to publish.
  LocalFileStatus status;
  if (!ReadLocalFileStatus(job.localPath, status)) return;
  Post({Event::Kind::Started, job, {}});
  std::int64_t reported = 0;
  const UploadOutcome outcome = uploader.Upload(job, [&](std::int64_t bytesSent) {
    bytesInFlight_ += bytesSent - reported;
    reported = bytesSent;
  });
  bytesInFlight_ -= reported;
  if (!outcome.notice.empty()) Post({Event::Kind::Notice, {}, outcome.notice});
  if (outcome.connectionLost) {
    // Another connection, or the walk's own, tries the file again; if the
    // server is gone, that one reports it. After a stop request nothing is
    // tried again, and the file is reported.
    bool retried = false;
    {
      const std::lock_guard lock(mutex_);
      if (handingOut_ && running_ != 0) {
        uploads_.push_front(job);
        ++generation_;
        retried = true;
      }
    }
    if (retried) {
      workArrived_.notify_one();
      somethingHappened_.notify_all();
      return;
    }
  }
  const Event::Kind kind = outcome.copied    ? Event::Kind::Copied
                           : outcome.stopped ? Event::Kind::GivenUp
                                             : Event::Kind::Failed;
  Post({kind, std::move(job), outcome.failure});
}

}  // namespace ostrel
