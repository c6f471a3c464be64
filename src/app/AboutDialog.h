#pragma once

#include <QDialog>

namespace ostrel {

// What the program is, its version, what it needs and on what terms it is
// passed on. OK closes it with 1, Esc and the close command with 2.
class AboutDialog : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  void reject() override;
};

}  // namespace ostrel
