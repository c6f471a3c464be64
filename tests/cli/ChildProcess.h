#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace ostrel::test {

// How a child process ended and everything it wrote.
struct ChildResult {
  int exitStatus = -1;         // -1 when it was ended by a signal
  int terminatingSignal = 0;   // 0 when it exited
  std::string standardOutput;
  std::string standardError;

  std::vector<std::string> OutputLines() const;
  std::vector<std::string> ErrorLines() const;
};

// A program run as a child with exactly the environment given, standard
// input from the descriptor given or else from /dev/null (so it is no
// terminal), and both outputs captured.
// The destructor kills and reaps a child that is still running.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
               int standardInput = -1);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Id() const { return processId_; }

  enum class Stream { Output, Error };
  // Reads on until the stream holds the text. False when the child's
  // outputs end or the timeout passes first.
  bool WaitFor(const std::string& text, Stream stream, std::chrono::milliseconds timeout = std::chrono::seconds(30));
  void Signal(int signalNumber);

  // Reads both outputs to their end and reaps the child; a child still
  // running after the timeout is killed and the test fails.
  ChildResult Finish(std::chrono::milliseconds timeout = std::chrono::seconds(60));

 private:
  // Reads whatever one of the outputs has within the timeout; false once both have ended.
  bool ReadSome(std::chrono::milliseconds timeout);

  pid_t processId_ = -1;
  int outputDescriptor_ = -1;
  int errorDescriptor_ = -1;
  ChildResult result_;
};

// Runs a program to its end.
ChildResult RunChild(const std::vector<std::string>& arguments, const std::vector<std::string>& environment);

}  // namespace ostrel::test
