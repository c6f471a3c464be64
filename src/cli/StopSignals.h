#pragma once

#include <atomic>
#include <csignal>
#include <cstdint>

namespace ostrel {

// The exit status of a run that a stop request ended early.
inline constexpr int kExitStopped = 3;

// Makes SIGINT and SIGTERM the stop request. The first one is recorded;
// during a run it also clears the run's Running flag at once, so the file
// being transferred completes and nothing after it starts. The second one
// ends the program at once with kExitStopped: the server sees its data
// connection reset, not a complete file, and a recoded copy vanishes with
// its descriptor. Interrupted system calls other than waits on poll are
// restarted.
void InstallStopSignalHandlers();

// From now on a stop signal clears `running`. Set before the run starts.
void DirectStopRequestsTo(std::atomic<std::int32_t>& running);

bool StopRequested();

// Holds the stop signals back for its lifetime, so that a wait can check
// StopRequested and then wait with the signals let through in one step
// (ppoll with Unblocked()): a signal between the check and the wait would
// otherwise be missed and the wait never end.
class StopSignalsBlocked {
 public:
  StopSignalsBlocked();
  ~StopSignalsBlocked();
  StopSignalsBlocked(const StopSignalsBlocked&) = delete;
  StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

  // The signal mask from before, for the wait.
  const sigset_t& Unblocked() const { return previous_; }

 private:
  sigset_t previous_{};
};
// The number of the first stop signal; 0 when none has arrived.
int StopSignalNumber();

}  // namespace ostrel
