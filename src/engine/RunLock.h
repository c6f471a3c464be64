#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/FileDescriptor.h"

namespace ostrel {

// Keeps two publishing runs of one user to the same site and remote directory
// (cron and the window, two terminals) from going at once: each would take
// the other's temporary uploads for leftovers of a killed run and delete
// them. flock(2) on an open descriptor, so that the lock goes with the
// process however it ends; a killed run never leaves it held.
class RunLock {
 public:
  enum class State {
    Held,           // this run has it until the object goes
    HeldElsewhere,  // another run has it now
    Unavailable,    // the lock file cannot be made or locked here
  };

  // Tries once, without waiting.
  explicit RunLock(std::filesystem::path file);
  // Removes the file, so that one per site does not pile up beside the settings.
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  State GetState() const { return state_; }
  // What went wrong, when Unavailable.
  const std::string& Problem() const { return problem_; }

 private:
  std::filesystem::path file_;
  std::optional<FileDescriptor> descriptor_;
  State state_ = State::Unavailable;
  std::string problem_;
};

// Where lock files go: $XDG_RUNTIME_DIR; else /run/user/UID when it is the
// user's own (cron sets no XDG_RUNTIME_DIR, yet its runs must meet those of
// the desktop session there); else the settings file's directory.
std::filesystem::path RunLockDirectory();

// The lock file of a site in `directory`: a readable prefix made of the user,
// the host and the remote directory, then a hash of all three. Only letters,
// digits, ".", "_", "-" and "@", so that no host or directory text can lead
// out of `directory`. The host is taken as "host:port", the remote directory
// with slashes and without empty levels, so that spellings of one site meet.
std::filesystem::path RunLockFile(const std::filesystem::path& directory, const std::string& user,
                                  const std::string& host, const std::string& remoteDirectory);

}  // namespace ostrel
