#include "GuiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <stdexcept>

#include "app/MessageBox.h"

namespace ostrel::test {

void FailOnMessageBoxes() {
  MessageBox::SetAnswerer([](const QString& caption, const QString& text) {
    ADD_FAILURE() << "unexpected message box \"" << caption.toStdString() << "\": " << text.toStdString();
  });
}

MessageRecorder::MessageRecorder() {
  MessageBox::SetAnswerer([this](const QString& caption, const QString& text) {
    messages_.push_back({caption, text});
  });
}

MessageRecorder::~MessageRecorder() { FailOnMessageBoxes(); }

void WhenModalOpens(const QString& expectedCaption, std::function<void(QDialog&)> act) {
  QTimer::singleShot(0, [expectedCaption, act = std::move(act)] {
    auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      ADD_FAILURE() << "no modal dialog is open; expected \"" << expectedCaption.toStdString() << "\"";
      return;
    }
    EXPECT_EQ(dialog->windowTitle(), expectedCaption);
    act(*dialog);
  });
}

QWidget& Control(const QWidget& dialog, int id) {
  auto* control = dialog.findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
  if (control == nullptr) {
    ADD_FAILURE() << "the dialog has no control " << id;
    throw std::runtime_error("missing control");
  }
  return *control;
}

std::vector<std::string> SettingsLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '[') continue;
    lines.push_back(line);
  }
  return lines;
}

}  // namespace ostrel::test
