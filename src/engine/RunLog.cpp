#include "engine/RunLog.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <system_error>

#include "platform/DisplayText.h"
#include "platform/Translation.h"
#include "settings/SettingsStore.h"

namespace ostrel {
namespace {

std::string OutcomeWord(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::Copied:
      return Translate("Copied: ");
    case FileOutcome::Skipped:
      return Translate("Skipped: ");
    case FileOutcome::Failed:
      return Translate("Failed: ");
    case FileOutcome::Stopped:
      return Translate("Stopped, not copied: ");
    case FileOutcome::WouldCopy:
      return Translate("Would copy: ");
  }
  return {};
}

enum class TimeFormat { Clock, DateAndClock, FileName };

std::string FormatTime(std::chrono::system_clock::time_point time, TimeFormat format) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  switch (format) {
    case TimeFormat::Clock:
      return std::string(text, std::strftime(text, sizeof text, "%H:%M:%S ", &local));
    case TimeFormat::DateAndClock:
      return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S ", &local));
    case TimeFormat::FileName:
      break;
  }
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S_", &local));
}

RunLogEntry Entry(RunLogEntry::Kind kind, const std::string& text, FileOutcome outcome = FileOutcome::Copied,
                  const std::string& reason = {}) {
  return {std::chrono::system_clock::now(), kind, text, outcome, reason};
}

// The site as part of a file name: nothing that leads out of the directory
// or that a shell would take apart.
std::string FileNamePart(const std::string& site) {
  std::string part;
  for (const char character : site.substr(0, 60)) {
    const bool plain = (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
                       (character >= '0' && character <= '9') ||
                       std::string_view("._-@").find(character) != std::string_view::npos;
    part += plain ? character : '_';
  }
  return part.empty() || part.front() == '.' ? "run" + part : part;
}

std::string Problem(const std::filesystem::path& file, int errorNumber) {
  return FormatText(Translate("The run's log cannot be written to %s: %s."),
                    {EscapeControlCharacters(file.string()), std::strerror(errorNumber)});
}

// A new file, never one of another run that began in the same second.
FileDescriptor CreateLogFile(const std::filesystem::path& directory, const std::string& stem,
                             std::filesystem::path& file) {
  for (int attempt = 1;; ++attempt) {
    file = directory / (stem + (attempt > 1 ? "-" + std::to_string(attempt) : "") + ".log");
    // The log names local files and servers: the user's own business.
    FileDescriptor descriptor(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600));
    if (descriptor.IsOpen() || errno != EEXIST || attempt == 100) return descriptor;
  }
}

// The names begin with the date and time, so their order is the runs' order.
void RemoveOldLogs(const std::filesystem::path& directory) {
  std::vector<std::filesystem::path> logs;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error))
    if (entry.path().extension() == ".log" && entry.is_regular_file(error)) logs.push_back(entry.path());
  if (logs.size() <= kKeptRunLogs) return;
  std::ranges::sort(logs);
  for (std::size_t index = 0; index + kKeptRunLogs < logs.size(); ++index) std::filesystem::remove(logs[index], error);
}

}  // namespace

bool RunLogEntry::IsFailure() const {
  return kind == Kind::Message ||
         (kind == Kind::File && (outcome == FileOutcome::Failed || outcome == FileOutcome::Stopped));
}

std::vector<std::string> FormatRunLogEntry(const RunLogEntry& entry, LogTime time) {
  const std::string stamp =
      FormatTime(entry.time, time == LogTime::Clock ? TimeFormat::Clock : TimeFormat::DateAndClock);
  std::vector<std::string> lines;
  switch (entry.kind) {
    case RunLogEntry::Kind::Status:
      lines.push_back(stamp + EscapeControlCharacters(entry.text));
      break;
    case RunLogEntry::Kind::Message:
      for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = entry.text.find('\n', start);
        lines.push_back(stamp + Translate("Message: ") +
                        EscapeControlCharacters(entry.text.substr(start, end - start)));
      }
      break;
    case RunLogEntry::Kind::File:
      lines.push_back(stamp + OutcomeWord(entry.outcome) + EscapeControlCharacters(entry.text) +
                      (entry.reason.empty() ? "" : " (" + EscapeControlCharacters(entry.reason) + ")"));
      break;
  }
  return lines;
}

std::filesystem::path RunLogDirectory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const std::filesystem::path base = state != nullptr && std::filesystem::path(state).is_absolute()
                                         ? std::filesystem::path(state)
                                         : UserHomeDirectory() / ".local" / "state";
  return base / "ostrel" / "logs";
}

std::string RunLog::Begin(const std::filesystem::path& directory, const std::string& site) {
  file_.clear();
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) return Problem(directory, error.value());
  std::filesystem::path file;
  FileDescriptor log = CreateLogFile(
      directory, FormatTime(std::chrono::system_clock::now(), TimeFormat::FileName) + FileNamePart(site), file);
  if (!log.IsOpen()) return Problem(file, errno);
  file_ = file;
  outputs_.push_back(std::move(log));
  RemoveOldLogs(directory);
  return {};
}

std::string RunLog::AppendTo(const std::filesystem::path& file) {
  FileDescriptor output(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (!output.IsOpen()) return Problem(file, errno);
  outputs_.push_back(std::move(output));
  return {};
}

void RunLog::End(const std::string& summary) {
  Record(Entry(RunLogEntry::Kind::Status, summary));
  outputs_.clear();
}

void RunLog::ShowStatusAndProcessInput(const std::string& status, const std::string& total) {
  // An empty status line only clears the window's line.
  if (!status.empty()) Record(Entry(RunLogEntry::Kind::Status, status));
  next_.ShowStatusAndProcessInput(status, total);
}

void RunLog::FileSettled(const std::string& localPath, FileOutcome outcome, const std::string& reason) {
  Record(Entry(RunLogEntry::Kind::File, localPath, outcome, reason));
  next_.FileSettled(localPath, outcome, reason);
}

void RunLog::ShowMessage(const std::string& text) {
  Record(Entry(RunLogEntry::Kind::Message, text));
  next_.ShowMessage(text);
}

void RunLog::Record(RunLogEntry entry) {
  if (!outputs_.empty()) {
    std::string text;
    for (const std::string& line : FormatRunLogEntry(entry, LogTime::DateAndClock)) text += line + "\n";
    // Best effort: a full disk must not end the run; what was written stays.
    for (const FileDescriptor& output : outputs_)
      for (std::size_t written = 0; written < text.size();) {
        const ssize_t result = ::write(output.Get(), text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR) continue;
        if (result <= 0) break;
        written += static_cast<std::size_t>(result);
      }
  }
  if (onEntry) onEntry(entry);
}

}  // namespace ostrel
