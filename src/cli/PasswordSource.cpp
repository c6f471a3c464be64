#include "cli/PasswordSource.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "cli/StopSignals.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"
#include "settings/AtomicFile.h"

namespace ostrel {
namespace {

// Turns echo off for its lifetime, so that a stop or an error cannot leave
// the user's terminal silent.
class EchoOff {
 public:
  EchoOff() {
    active_ = ::tcgetattr(STDIN_FILENO, &saved_) == 0;
    if (!active_) return;
    termios silent = saved_;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

}  // namespace

std::string ReadPasswordFile(const std::string& path) {
  const SmallFileRead read = ReadSmallRegularFile(path);
  const std::string shownPath = EscapeControlCharacters(path);
  if (!read.contents)
    throw std::runtime_error(FormatText(Translate("cannot read the password file %s: %s"), {shownPath, read.problem}));
  // As ssh does with a private key: a secret that others can read is no
  // longer only the user's, and the user should hear of it now.
  if ((read.permissions & 077) != 0)
    throw std::runtime_error(FormatText(
        Translate("the password file %s can be read or changed by other users; make it private with: chmod 600 %s"),
        {shownPath, shownPath}));
  std::string password = read.contents->substr(0, read.contents->find('\n'));
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

std::optional<std::string> PromptForPassword(const std::string& prompt) {
  std::string line;
  {
    // Echo goes off before the prompt shows, so nothing typed after it is echoed.
    EchoOff echoOff;
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    StopSignalsBlocked signalsBlocked;
    for (;;) {
      if (StopRequested()) {
        std::fputs("\n", stderr);
        return std::nullopt;
      }
      pollfd input{STDIN_FILENO, POLLIN, 0};
      if (::ppoll(&input, 1, nullptr, &signalsBlocked.Unblocked()) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      char buffer[256];
      const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) break;  // end of input: what was typed so far is the password
      line.append(buffer, static_cast<std::size_t>(count));
      if (line.find('\n') != std::string::npos) break;
    }
  }
  std::fputs("\n", stderr);
  const std::size_t end = line.find('\n');
  if (end != std::string::npos) line.erase(end);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace ostrel
