#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ostrel::test {

// A message box that the program would have shown.
struct ShownMessage {
  QString caption;
  QString text;
};

// Answers every message box while it lives and keeps what it was shown. When
// it goes, boxes go back to failing the test (no test may block on one).
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  const std::vector<ShownMessage>& Messages() const { return messages_; }

 private:
  std::vector<ShownMessage> messages_;
};

// Makes every message box fail the running test instead of showing it.
void FailOnMessageBoxes();

// Runs `act` on the next modal dialog once its event loop is running. Fails
// the test when no modal dialog is open then, or when the dialog does not
// have the expected caption.
void WhenModalOpens(const QString& expectedCaption, std::function<void(QDialog&)> act);

// Control lookup by id that fails the test when the control is missing.
QWidget& Control(const QWidget& dialog, int id);

// The settings file as text, key by key: "Key=value" lines of section
// "Parameters", in file order.
std::vector<std::string> SettingsLines(const std::filesystem::path& file);

}  // namespace ostrel::test
