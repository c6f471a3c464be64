#include "cli/ConsoleUserInterface.h"

#include <cstdio>
#include <utility>

#include "cli/StopSignals.h"
#include "publish/Publisher.h"

namespace ostrel {
ConsoleUserInterface::ConsoleUserInterface(StatusLines statusLines, std::string messagePrefix)
    : statusLines_(statusLines), messagePrefix_(std::move(messagePrefix)) {}

void ConsoleUserInterface::ShowStatusAndProcessInput(const std::string& status, const std::string&) {
  // A signal that came before the run set Running is caught up with here.
  if (StopRequested() && publisher_ != nullptr) publisher_->Running = 0;

  // An empty status line only clears the dialog's line; there is nothing to print.
  if (statusLines_ == StatusLines::Hide || status.empty()) return;
  std::fputs(status.c_str(), stdout);
  std::fputc('\n', stdout);
  // Whoever reads the output (a log, a pipe, a test) sees each line as it happens.
  std::fflush(stdout);
}

void ConsoleUserInterface::ShowMessage(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s%s\n", messagePrefix_.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace ostrel
