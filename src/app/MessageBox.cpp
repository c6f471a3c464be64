#include "app/MessageBox.h"

#include <QMessageBox>

namespace ostrel {

MessageBox::Answerer& MessageBox::CurrentAnswerer() {
  static Answerer answerer;
  return answerer;
}

void MessageBox::SetAnswerer(Answerer answerer) { CurrentAnswerer() = std::move(answerer); }

void MessageBox::ShowWarning(QWidget* parent, const QString& caption, const QString& text) {
  if (CurrentAnswerer()) {
    CurrentAnswerer()(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool MessageBox::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  if (CurrentAnswerer()) {
    CurrentAnswerer()(caption, text);
    return false;
  }
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ostrel
