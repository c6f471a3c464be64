#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ostrel {

// Every message box of the program goes through here: a modal box with the
// warning icon, the given caption and one OK button. Tests install an
// answerer that receives the caption and text in place of the box, so no
// test ever waits on a window nobody can press.
class MessageBox {
 public:
  using Answerer = std::function<void(const QString& caption, const QString& text)>;

  static void ShowWarning(QWidget* parent, const QString& caption, const QString& text);
  // A question with Yes and No, No the default; true for Yes. An installed
  // answerer gets it like a warning, and the answer is No.
  static bool AskYesNo(QWidget* parent, const QString& caption, const QString& text);

  // While an answerer is installed no box is shown. An empty function
  // restores the real boxes.
  static void SetAnswerer(Answerer answerer);

 private:
  static Answerer& CurrentAnswerer();
};

}  // namespace ostrel
