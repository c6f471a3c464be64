#include "cli/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <stdexcept>

namespace ostrel::test {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::vector<std::string> ChildResult::OutputLines() const { return SplitLines(standardOutput); }
std::vector<std::string> ChildResult::ErrorLines() const { return SplitLines(standardError); }

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                           int standardInput) {
  int outputPipe[2];
  int errorPipe[2];
  if (pipe2(outputPipe, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
  if (pipe2(errorPipe, O_CLOEXEC) != 0) {
    close(outputPipe[0]);
    close(outputPipe[1]);
    throw std::runtime_error("cannot make a pipe");
  }

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (standardInput >= 0)
    posix_spawn_file_actions_adddup2(&actions, standardInput, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outputPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
  // The test runner may ignore or block signals; the child starts with the defaults.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t noneBlocked;
  sigemptyset(&noneBlocked);
  posix_spawnattr_setsigmask(&attributes, &noneBlocked);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const int result = posix_spawn(&processId_, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(outputPipe[1]);
  close(errorPipe[1]);
  outputDescriptor_ = outputPipe[0];
  errorDescriptor_ = errorPipe[0];
  if (result != 0) {
    processId_ = -1;
    close(outputDescriptor_);
    close(errorDescriptor_);
    throw std::runtime_error("cannot start " + arguments[0] + ": error " + std::to_string(result));
  }
}

ChildProcess::~ChildProcess() {
  if (processId_ > 0) {
    kill(processId_, SIGKILL);
    int status = 0;
    waitpid(processId_, &status, 0);
  }
  if (outputDescriptor_ >= 0) close(outputDescriptor_);
  if (errorDescriptor_ >= 0) close(errorDescriptor_);
}

bool ChildProcess::ReadSome(std::chrono::milliseconds timeout) {
  pollfd streams[2] = {{outputDescriptor_, POLLIN, 0}, {errorDescriptor_, POLLIN, 0}};
  if (outputDescriptor_ < 0 && errorDescriptor_ < 0) return false;
  const int ready = poll(streams, 2, static_cast<int>(timeout.count()));
  if (ready <= 0) return ready == 0 || errno == EINTR;
  int* descriptors[2] = {&outputDescriptor_, &errorDescriptor_};
  std::string* texts[2] = {&result_.standardOutput, &result_.standardError};
  for (int index = 0; index < 2; ++index) {
    if (*descriptors[index] < 0 || streams[index].revents == 0) continue;
    char buffer[4096];
    const ssize_t count = read(*descriptors[index], buffer, sizeof buffer);
    if (count > 0) {
      texts[index]->append(buffer, static_cast<std::size_t>(count));
    } else {
      close(*descriptors[index]);
      *descriptors[index] = -1;
    }
  }
  return true;
}

bool ChildProcess::WaitFor(const std::string& text, Stream stream, std::chrono::milliseconds timeout) {
  const std::string& received = stream == Stream::Output ? result_.standardOutput : result_.standardError;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (received.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !ReadSome(left)) return false;
  }
  return true;
}

void ChildProcess::Signal(int signalNumber) { kill(processId_, signalNumber); }

ChildResult ChildProcess::Finish(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ADD_FAILURE() << "the child did not end within " << timeout.count() << " ms; killed";
      kill(processId_, SIGKILL);
      break;
    }
    if (!ReadSome(left)) break;
  }
  int status = 0;
  waitpid(processId_, &status, 0);
  processId_ = -1;
  if (WIFEXITED(status)) result_.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.terminatingSignal = WTERMSIG(status);
  return result_;
}

ChildResult RunChild(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  return ChildProcess(arguments, environment).Finish();
}

}  // namespace ostrel::test
