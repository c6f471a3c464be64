#include "support/FtpTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ostrel::test {

namespace {

// Python starts slowly on a loaded machine (two cores, parallel tests).
constexpr int kStartTimeoutMilliseconds = 30000;

}  // namespace

ServerProcess::ServerProcess(const std::vector<std::string>& arguments, int standardOutput, int standardError) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (standardOutput >= 0) posix_spawn_file_actions_adddup2(&actions, standardOutput, 1);
  if (standardError >= 0) posix_spawn_file_actions_adddup2(&actions, standardError, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so that Stop also reaches the children a server forks.
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t noneBlocked;
  sigemptyset(&noneBlocked);
  posix_spawnattr_setsigmask(&attributes, &noneBlocked);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const int result = posix_spawn(&processId_, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    processId_ = -1;
    throw std::runtime_error("cannot start " + arguments[0] + ": error " + std::to_string(result));
  }
}

bool ServerProcess::HasExited() {
  if (processId_ < 0) return true;
  // WNOWAIT leaves the ended leader unreaped: its process id, and with it the
  // group's, cannot be taken by another process before Stop has used it.
  siginfo_t information{};
  if (waitid(P_PID, static_cast<id_t>(processId_), &information, WEXITED | WNOHANG | WNOWAIT) != 0) return true;
  return information.si_pid == processId_;
}

void ServerProcess::Stop() noexcept {
  if (processId_ < 0) return;
  kill(-processId_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!HasExited() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // Also ends the sessions a server forked, which outlive their parent.
  kill(-processId_, SIGKILL);
  int status = 0;
  waitpid(processId_, &status, 0);
  processId_ = -1;
}

FtpTestServer::FtpTestServer(FtpTestServerOptions options) : options_(std::move(options)) {
  if (options_.root.empty()) {
    ownRoot_ = std::make_unique<TempDirectory>();
    options_.root = ownRoot_->Path();
  }
  std::vector<std::string> arguments = {OSTREL_TEST_PYTHON, std::string(OSTREL_TEST_SERVERS_DIR) + "/ftp_server.py",
                                        "--root",           options_.root.string(),
                                        "--user",           options_.user,
                                        "--password",       options_.password};
  if (options_.logging) {
    arguments.push_back("--command-log");
    arguments.push_back((logDirectory_.Path() / "commands.log").string());
  } else {
    arguments.push_back("--quiet");
  }
  arguments.insert(arguments.end(), options_.faults.begin(), options_.faults.end());

  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe for the FTP test server");
  try {
    process_ = std::make_unique<ServerProcess>(arguments, pipeEnds[1], -1);
  } catch (...) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    throw;
  }
  close(pipeEnds[1]);

  // The server prints its port once it listens.
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMilliseconds);
  while (output.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waiting{pipeEnds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[64];
    const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
    if (count <= 0) break;
    output.append(buffer, static_cast<std::size_t>(count));
  }
  close(pipeEnds[0]);
  try {
    const int port = std::stoi(output);
    if (port <= 0 || port > 65535) throw std::out_of_range("port");
    port_ = static_cast<std::uint16_t>(port);
  } catch (const std::logic_error&) {
    process_.reset();
    throw std::runtime_error("the FTP test server did not report its port (its error output shows why); it printed: " +
                             output);
  }
}

FtpTestServer::~FtpTestServer() { process_.reset(); }

std::string FtpTestServer::Host() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> FtpTestServer::CommandLog() const {
  std::vector<std::string> commands;
  std::ifstream log(logDirectory_.Path() / "commands.log", std::ios::binary);
  for (std::string line; std::getline(log, line);) commands.push_back(line);
  return commands;
}

}  // namespace ostrel::test
