#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/Publisher.h"
#include "engine/PublisherUserInterface.h"

namespace ostrel::test {

// Stands in for the dialog: records every status line and message ("box: "
// first) in order, and can act inside the pump as a user would.
class RecordingUserInterface : public PublisherUserInterface {
 public:
  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override {
    lines.push_back(status);
    totals.push_back(total);
    if (onStatus) onStatus(static_cast<int>(totals.size()), status);
  }
  void ShowMessage(const std::string& text) override { lines.push_back("box: " + text); }
  std::string TrustedCertificate(const std::string&) override { return trustedCertificate; }
  bool ConfirmDeletion(const std::string& question) override {
    lines.push_back("ask: " + question);
    return deletionConfirmed;
  }
  void FileSettled(const std::string& localPath, FileOutcome outcome, const std::string&) override {
    EXPECT_TRUE(settled.emplace(localPath, outcome).second) << localPath << " settled twice";
  }

  std::string trustedCertificate;
  bool deletionConfirmed = true;
  std::map<std::string, FileOutcome> settled;

  std::vector<std::string> lines, totals;
  // Called inside the pump with the 1-based number of the status line.
  std::function<void(int number, const std::string& status)> onStatus;
};

// A publisher on the recorder, with the settings it runs with, that runs as
// the dialog's Process button does.
class TestPublisher : public RunSettings, public Publisher {
 public:
  explicit TestPublisher(RecordingUserInterface& recorder) : Publisher(recorder, "ostrel") {
    Timeouts.connect = Timeouts.reply = Timeouts.data = std::chrono::seconds(10);
    Timeouts.reconnectPause = std::chrono::milliseconds(50);
    Connections = 1;
  }
  RunResult Run() {
    Running = 1;
    const RunResult result = RunPublishing(*this);
    Running = 0;
    return result;
  }
};

}  // namespace ostrel::test
