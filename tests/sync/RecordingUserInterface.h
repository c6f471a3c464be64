#pragma once

#include <functional>
#include <string>
#include <vector>

#include "publish/Publisher.h"
#include "publish/PublisherUserInterface.h"

namespace ostrel::test {

// Stands in for the dialog: records every status line and message in order,
// and can act inside the pump as a user would (press Cancel at the N-th
// status line, confirm changed options).
class RecordingUserInterface : public PublisherUserInterface {
 public:
  struct Event {
    enum class Kind { Status, Message } kind;
    std::string text;
    std::string total;  // for status lines: the total shown beside it
  };

  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override {
    events.push_back({Event::Kind::Status, status, total});
    ++statusCount_;
    if (onStatus) onStatus(statusCount_, status);
  }
  void ShowMessage(const std::string& text) override {
    events.push_back({Event::Kind::Message, text, {}});
  }

  // Every status line and message in order, messages marked "box: ".
  std::vector<std::string> Transcript() const {
    std::vector<std::string> lines;
    for (const Event& event : events)
      lines.push_back(event.kind == Event::Kind::Message ? "box: " + event.text : event.text);
    return lines;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const Event& event : events)
      if (event.kind == Event::Kind::Message) texts.push_back(event.text);
    return texts;
  }

  std::vector<Event> events;
  // Called inside the pump with the 1-based number of the status line.
  std::function<void(int number, const std::string& status)> onStatus;

 private:
  int statusCount_ = 0;
};

// A publisher on the recorder, with the protected operations open to tests.
class TestPublisher : public Publisher {
 public:
  explicit TestPublisher(RecordingUserInterface& recorder) : Publisher(recorder, "ostrel") {
    Timeouts.connect = Timeouts.reply = Timeouts.data = std::chrono::seconds(10);
  }
  // Runs as the dialog's Process button does.
  void Run() {
    Running = 1;
    RunPublishing();
    Running = 0;
  }
  using Publisher::EnterRemoteDirectory;
  using Publisher::PublishDirectory;
  using Publisher::UploadFile;
};

}  // namespace ostrel::test
