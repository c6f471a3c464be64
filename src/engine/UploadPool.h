#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/FileUploader.h"
#include "engine/RemoteDirectoryListing.h"
#include "engine/UploadJob.h"
#include "ftp/FtpConnection.h"

namespace ostrel {

// A remote directory entered (and listed) ahead of the walk.
struct PreparedDirectory {
  bool entered = false;
  // The server refused to enter it: most likely it does not exist yet.
  bool refused = false;
  RemoteDirectoryListing listing;
};

// What a connection does to a directory ahead of the walk.
enum class Preparing {
  Enter,
  EnterAndList,
  // The parent's listing shows it missing: made, and known empty.
  Create,
};

// The extra connections of a run, each logged on and worked on a thread of
// its own: they enter and list the directories the walk will come to next,
// and carry out the uploads it hands out. Everything the user sees goes back
// to the walk's thread as events, in the order it happened; nothing here
// touches the user interface. Every member is called from the walk's thread.
class UploadPool {
 public:
  struct Event {
    // GivenUp: failed because the server went quiet after a stop request.
    enum class Kind { Started, Copied, Failed, GivenUp, Notice };
    Kind kind;
    UploadJob job;     // Started, Copied, Failed, GivenUp
    std::string text;  // Failed, GivenUp: why; Notice: what to say
  };
  // Logs on, with waits that end when `stopRequested` says so; throws
  // FtpError when the server refuses.
  using LogOn = std::function<std::unique_ptr<FtpConnection>(std::function<bool()> stopRequested)>;

  // Starts `connections` threads; each logs on by itself. No upload starts
  // once `running` is zero.
  UploadPool(int connections, LogOn logOn, UploadRules& rules, const std::atomic<std::int32_t>& running);
  // Drops what waits, lets what runs end, and closes the connections.
  ~UploadPool();
  UploadPool(const UploadPool&) = delete;
  UploadPool& operator=(const UploadPool&) = delete;

  // Queues an upload; false when none is left, or when the queue is full and
  // not `evenWhenFull`: the caller carries it out itself.
  bool HandOut(UploadJob job, bool evenWhenFull = false);
  // Asks for remoteDirectory (absolute, ending with "/") to be prepared ahead of the walk.
  void Prepare(const std::string& remoteDirectory, Preparing how);
  // The preparation of remoteDirectory once done. While a connection works on
  // it, empty with `underWay` set; when none has begun it (or it failed), it
  // is withdrawn and the result is empty: the caller does it itself.
  std::optional<PreparedDirectory> TakePrepared(const std::string& remoteDirectory, bool& underWay);
  // A queued upload, taken back for the caller to carry out; with
  // `onlyWhereOthersHaveWork`, only while every connection has one waiting besides.
  std::optional<UploadJob> TakeWaiting(bool onlyWhereOthersHaveWork = false);
  // Nothing queued starts any more; what runs goes on to its end.
  void StopHandingOut();

  std::vector<Event> TakeEvents();
  // Returns as soon as something happened, or after `wait`.
  void WaitForChange(std::chrono::milliseconds wait);
  // Nothing is queued or under way.
  bool IsIdle();
  // Bytes sent so far of the uploads under way.
  std::int64_t BytesInFlight() const { return bytesInFlight_; }

 private:
  struct Preparation {
    std::string remoteDirectory;
    Preparing how = Preparing::Enter;
  };

  // One thing for a connection to do: enter (and list) a directory, or upload.
  struct WorkItem {
    std::optional<Preparation> preparation;
    std::optional<UploadJob> upload;
    bool UsesDataConnection() const { return upload || (preparation && preparation->how == Preparing::EnterAndList); }
  };

  static constexpr std::size_t kWaitingPerConnection = 3;
  // With mutex_ held.
  bool IsFull() const;

  void Work();
  // Does what is handed out on this connection until it breaks or the pool closes.
  void Serve(FtpConnection& connection);
  // With mutex_ held: the next thing to do, counted as under way; empty when
  // nothing waits. Uploads into `currentDirectory` go first.
  std::optional<WorkItem> TakeWork(const std::string& currentDirectory);
  // A connection that ends leaves what it had taken to the others.
  void GiveBack(WorkItem item);
  void Post(Event event);
  void RunPreparation(FtpConnection& connection, const Preparation& preparation);
  void RunUpload(FileUploader& uploader, UploadJob job);
  void SayOnce(std::string text);

  LogOn logOn_;
  UploadRules& rules_;
  const std::atomic<std::int32_t>& running_;
  std::atomic<std::int64_t> bytesInFlight_ = 0;
  // Ends the waits of the connections when the pool goes away.
  std::atomic<bool> closing_ = false;

  std::mutex mutex_;
  std::condition_variable workArrived_;
  std::condition_variable somethingHappened_;
  std::deque<Preparation> preparations_;
  std::deque<UploadJob> uploads_;
  std::vector<std::string> preparing_;
  std::map<std::string, PreparedDirectory> prepared_;
  std::vector<Event> events_;
  int connections_ = 0;  // logged on, or logging on
  int busy_ = 0;
  // Counts every change the walk may wait for; seenGeneration_ is the count
  // when it last looked.
  std::uint64_t generation_ = 0;
  std::uint64_t seenGeneration_ = 0;
  bool handingOut_ = true;
  bool refusalSaid_ = false;

  std::vector<std::thread> threads_;
};

}  // namespace ostrel
