#include "cli/ConsoleUserInterface.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "cli/StopSignals.h"
#include "platform/DisplayText.h"
#include "publish/Publisher.h"

namespace ostrel {
ConsoleUserInterface::ConsoleUserInterface(StatusLines statusLines, std::string messagePrefix)
    : statusLines_(statusLines), messagePrefix_(std::move(messagePrefix)) {}

void ConsoleUserInterface::ShowStatusAndProcessInput(const std::string& status, const std::string&) {
  // A signal that came before the run set Running is caught up with here.
  if (StopRequested() && publisher_ != nullptr) publisher_->Running = 0;

  // An empty status line only clears the dialog's line; there is nothing to print.
  if (statusLines_ == StatusLines::Hide || status.empty()) return;
  // A status line has no line breaks of its own; one in a local name must
  // not start a line that looks like ours.
  std::fputs(EscapeControlCharacters(status).c_str(), stdout);
  std::fputc('\n', stdout);
  // Whoever reads the output (a log, a pipe, a test) sees each line as it happens.
  std::fflush(stdout);
}

void ConsoleUserInterface::ShowMessage(const std::string& text) {
  std::fflush(stdout);
  // A message puts its parts (the path, then the server's reply, itself
  // perhaps of several lines) on lines of their own; only those breaks are
  // ours. A lone "\r" or an escape sequence within a line is shown escaped.
  std::string_view rest = text;
  for (;;) {
    const std::size_t end = rest.find('\n');
    std::fprintf(stderr, "%s%s\n", messagePrefix_.c_str(), EscapeControlCharacters(rest.substr(0, end)).c_str());
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  std::fflush(stderr);
}

}  // namespace ostrel
