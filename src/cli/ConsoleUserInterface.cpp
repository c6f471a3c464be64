#include "cli/ConsoleUserInterface.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "cli/StopSignals.h"
#include "engine/Publisher.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"

namespace ostrel {
namespace {

// Redrawn at most this often between status lines: alive, yet cheap on a slow terminal.
constexpr std::chrono::milliseconds kRedrawInterval(250);
// Goes to the start of the line and erases it.
constexpr const char* kEraseLine = "\r\033[K";

std::size_t TerminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Characters as the terminal counts them: UTF-8 continuation bytes take no column.
std::size_t Columns(std::string_view text) {
  std::size_t columns = 0;
  for (const char byte : text)
    if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++columns;
  return columns;
}

}  // namespace

ConsoleUserInterface::ConsoleUserInterface(StatusLines statusLines, std::string messagePrefix)
    : statusLines_(statusLines), messagePrefix_(std::move(messagePrefix)) {}

void ConsoleUserInterface::StartProgress(std::int64_t filesToConsider, std::string localDir) {
  progress_.emplace();
  progress_->files = filesToConsider;
  progress_->localDir = std::move(localDir);
  progress_->start = std::chrono::steady_clock::now();
}

void ConsoleUserInterface::EndProgress() {
  ClearProgress();
  progress_.reset();
  std::fflush(stdout);
}

void ConsoleUserInterface::ShowStatusAndProcessInput(const std::string& status, const std::string&) {
  // A signal that came before the run set Running is caught up with here.
  if (StopRequested() && publisher_ != nullptr) publisher_->Running = 0;

  // An empty status line only clears the dialog's line; there is nothing to print.
  if (statusLines_ == StatusLines::Show && !status.empty()) {
    ClearProgress();
    // A status line has no line breaks of its own; one in a local name must
    // not start a line that looks like ours.
    std::fputs(EscapeControlCharacters(status).c_str(), stdout);
    std::fputc('\n', stdout);
  }
  if (progress_) DrawProgress();
  // Whoever reads the output (a log, a pipe, a test) sees each line as it happens.
  std::fflush(stdout);
}

void ConsoleUserInterface::ProcessInput() {
  if (!progress_ || std::chrono::steady_clock::now() - progress_->drawn < kRedrawInterval) return;
  DrawProgress();
  std::fflush(stdout);
}

void ConsoleUserInterface::ShowMessage(const std::string& text) {
  ClearProgress();
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
  if (progress_) {
    DrawProgress();
    std::fflush(stdout);
  }
}

void ConsoleUserInterface::ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent, const std::string&) {
  if (!progress_) return;
  progress_->filesDone = filesSettled;
  progress_->bytes = bytesSent;
  ProcessInput();
}

void ConsoleUserInterface::FileStarted(const std::string& localPath) {
  if (progress_) progress_->currentFile = localPath;
}

// A file settled at once (skipped, or one a dry run would copy) stays named
// until the next: it was the line's last news.
void ConsoleUserInterface::FileSettled(const std::string& localPath, FileOutcome outcome, const std::string&) {
  if (!progress_ || outcome == FileOutcome::Skipped || outcome == FileOutcome::WouldCopy) return;
  if (progress_->currentFile == localPath) progress_->currentFile.clear();
}

void ConsoleUserInterface::ClearProgress() {
  if (!progress_ || !progress_->onScreen) return;
  std::fputs(kEraseLine, stdout);
  progress_->onScreen = false;
}

void ConsoleUserInterface::DrawProgress() {
  Progress& progress = *progress_;
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - progress.start).count();
  char head[160];
  std::snprintf(head, sizeof head,
                TranslatePlural("%lld of %lld files, %s, %s/s", "%lld of %lld files, %s, %s/s",
                                static_cast<unsigned long>(progress.files)),
                static_cast<long long>(progress.filesDone), static_cast<long long>(progress.files),
                FormatBytes(static_cast<double>(progress.bytes)).c_str(),
                FormatBytes(seconds > 0.1 ? static_cast<double>(progress.bytes) / seconds : 0).c_str());
  std::string line = head;
  // The line must never wrap, or erasing it would leave its first part
  // behind; a long name loses its beginning, the file's own name stays.
  const std::size_t room = TerminalColumns() - 1;
  std::string_view path = progress.currentFile;
  if (path.starts_with(progress.localDir)) path.remove_prefix(progress.localDir.size());
  while (path.starts_with('/')) path.remove_prefix(1);
  if (const std::string shown = EscapeControlCharacters(path); !shown.empty()) {
    std::string_view name = shown;
    if (Columns(line) + 2 + Columns(name) > room) {
      const std::size_t keep = room > Columns(line) + 5 ? room - Columns(line) - 5 : 0;
      while (!name.empty() && Columns(name) > keep) {
        name.remove_prefix(1);
        while (!name.empty() && (static_cast<unsigned char>(name.front()) & 0xC0) == 0x80) name.remove_prefix(1);
      }
      line += name.empty() ? "" : ": ..." + std::string(name);
    } else {
      line += ": " + std::string(name);
    }
  }
  // Only on a very narrow terminal; what is cut then is the head, at a
  // character's start (a translated head is not ASCII).
  for (std::size_t end = 0, columns = 0; end < line.size(); ++end) {
    if ((static_cast<unsigned char>(line[end]) & 0xC0) != 0x80 && columns++ == room) {
      line.resize(end);
      break;
    }
  }
  std::fputs(kEraseLine, stdout);
  std::fputs(line.c_str(), stdout);
  progress.onScreen = true;
  progress.drawn = now;
}

}  // namespace ostrel
