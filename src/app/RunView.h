#pragma once

#include <chrono>
#include <cstdint>

#include "engine/RunLog.h"

class QDialog;
class QListWidget;
class QProgressBar;

namespace ostrel {

// The run as the main dialog shows it beyond the status line: the progress
// bar, present only while a run goes on, and the Details pane, folded at
// first, with every entry of the run's log, filterable to the failures.
class RunView {
 public:
  // Takes the controls of the dialog, which it outlives never.
  explicit RunView(QDialog& dialog);

  // A run begins that will consider this many files; the pane starts empty.
  void Start(std::int64_t filesToConsider);
  void ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent);
  void Finish();
  void Add(const RunLogEntry& entry);

 private:
  void Unfold(bool unfolded);
  void ShowFailuresOnly(bool failuresOnly);

  QDialog& dialog_;
  QProgressBar* progressBar_;
  QListWidget* details_;
  bool unfolded_ = false;
  bool failuresOnly_ = false;
  std::int64_t files_ = 0;
  // The rate is that of the last second or so: what the connection does now.
  std::chrono::steady_clock::time_point rateSince_;
  std::int64_t rateBytes_ = 0;
  double rate_ = 0;
};

}  // namespace ostrel
