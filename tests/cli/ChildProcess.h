#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDirectory.h"

namespace ostrel::test {

using Lines = std::vector<std::string>;

// A program run with exactly the environment given, no terminal on standard input, outputs into files.
class ChildProcess {
 public:
  ChildProcess(Lines arguments, Lines environment) {
    std::vector<char*> argv(arguments.size() + 1), envp(environment.size() + 1);
    for (std::size_t index = 0; index < arguments.size(); ++index) argv[index] = arguments[index].data();
    for (std::size_t index = 0; index < environment.size(); ++index) envp[index] = environment[index].data();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (directory_.Path() / "1").c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (directory_.Path() / "2").c_str(), O_WRONLY | O_CREAT, 0600);
    const int error = posix_spawn(&id_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("cannot start " + arguments[0]);
  }
  ~ChildProcess() { id_ > 0 && kill(id_, SIGKILL) == 0 && waitpid(id_, nullptr, 0); }

  std::string Output() const { return ReadFile(directory_.Path() / "1"); }
  std::string Error() const { return ReadFile(directory_.Path() / "2"); }
  void Signal(int signalNumber) const { kill(id_, signalNumber); }
  // Polls for a minute at most; Finish gives the exit status, or -1.
  bool WaitForOutput(const std::string& text) const {
    return Poll([&] { return Output().find(text) != std::string::npos; });
  }
  int Finish() {
    int status = -1;
    if (Poll([&] { return waitpid(id_, &status, WNOHANG) != 0; })) id_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  template <typename Condition>
  static bool Poll(Condition done) {
    for (int tries = 0; tries < 3000; ++tries, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
      if (done()) return true;
    return false;
  }

  test::TempDirectory directory_;
  pid_t id_ = -1;
};

}  // namespace ostrel::test
