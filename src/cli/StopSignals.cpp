#include "cli/StopSignals.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "platform/Translation.h"

namespace ostrel {
namespace {

volatile std::sig_atomic_t stopSignal = 0;
// The run's Running flag: a lock-free atomic, which a handler may store to.
std::atomic<std::atomic<std::int32_t>*> runningFlag = nullptr;
static_assert(std::atomic<std::atomic<std::int32_t>*>::is_always_lock_free);
// The notes in the user's language, made before the handlers are installed:
// a handler may not look anything up, only write.
std::string stoppedNote;
std::string stoppingNote;

void WriteToStandardError(const char* text, std::size_t length) {
  // Only write(2) is safe here; a short write of a note is acceptable.
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, length);
}

extern "C" void OnStopSignal(int signalNumber) {
  const int savedErrno = errno;
  if (stopSignal != 0) {
    WriteToStandardError(stoppedNote.data(), stoppedNote.size());
    ::_exit(kExitStopped);
  }
  stopSignal = signalNumber;
  if (std::atomic<std::int32_t>* running = runningFlag.load()) {
    running->store(0);
    WriteToStandardError(stoppingNote.data(), stoppingNote.size());
  }
  errno = savedErrno;
}

}  // namespace

void InstallStopSignalHandlers() {
  stoppedNote = std::string("ostrel-publish: ") + Translate("stopped at once") + "\n";
  stoppingNote = std::string("ostrel-publish: ") +
                 Translate("stopping after the current file; send the signal again to stop at once") + "\n";
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  // Socket and file calls interrupted by the first signal carry on, so the
  // current file completes instead of failing half-way.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

StopSignalsBlocked::StopSignalsBlocked() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous_);
}

StopSignalsBlocked::~StopSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void DirectStopRequestsTo(std::atomic<std::int32_t>& running) { runningFlag = &running; }

bool StopRequested() { return stopSignal != 0; }

int StopSignalNumber() { return stopSignal; }

}  // namespace ostrel
