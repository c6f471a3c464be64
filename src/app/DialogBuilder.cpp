#include "app/DialogBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <vector>

#include "app/DialogUnits.h"
#include "app/ProgramIcon.h"
#include "platform/Translation.h"

namespace ostrel {
namespace {

// A template's texts are English; the user reads them in the catalogue's language.
QString Text(std::string_view text) { return QString::fromStdString(Translate(text)); }

QWidget* MakeControl(const ControlTemplate& control, QDialog& dialog) {
  switch (control.kind) {
    case ControlKind::Label: {
      auto* label = new QLabel(Text(control.text), &dialog);
      // Static text of a dialog wraps at word boundaries and is never markup:
      // a file name in the status line must show as it is.
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(Text(control.text), &dialog);
      if (control.style & kStylePassword) edit->setEchoMode(QLineEdit::Password);
      return edit;
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(Text(control.text), &dialog);
      button->setDefault((control.style & kStyleDefaultButton) != 0);
      button->setCheckable((control.style & kStyleToggle) != 0);
      return button;
    }
    case ControlKind::CheckBox:
      return new QCheckBox(Text(control.text), &dialog);
    case ControlKind::Icon: {
      auto* icon = new QLabel(&dialog);
      icon->setPixmap(ProgramIcon().pixmap(32, 32));
      icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return icon;
    }
    case ControlKind::ComboBox:
      return new QComboBox(&dialog);
    case ControlKind::SpinBox:
      return new QSpinBox(&dialog);
    case ControlKind::List: {
      auto* list = new QListWidget(&dialog);
      // Names and server replies are shown whole, scrolled rather than wrapped or cut.
      list->setTextElideMode(Qt::ElideNone);
      list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      return list;
    }
    case ControlKind::ProgressBar:
      return new QProgressBar(&dialog);
  }
  return nullptr;
}

bool MarksMnemonic(const ControlTemplate& control) {
  return control.kind == ControlKind::Label && !(control.style & kStyleLiteralAmpersand) &&
         control.text.find('&') != std::string_view::npos;
}

}  // namespace

void BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate) {
  dialog.setWindowTitle(Text(dialogTemplate.caption));
  // A fixed frame with a title, the window menu and a close button; no
  // minimize, maximize or context-help button.
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowCloseButtonHint);
  dialog.setFont(DialogFont(dialogTemplate.fontPointSize));
  const DialogUnits units(dialog.font());
  dialog.setFixedSize(units.HorizontalPixels(dialogTemplate.width), units.VerticalPixels(dialogTemplate.height));

  std::vector<QWidget*> made;
  made.reserve(dialogTemplate.controls.size());
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = MakeControl(control, dialog);
    widget->setGeometry(units.Pixels(control.x, control.y, control.width, control.height));
    if (control.id != kNoControlId) {
      widget->setObjectName(QString::number(control.id));
      widget->setProperty("controlId", control.id);
    }
    made.push_back(widget);
  }

  QWidget* previousFocusable = nullptr;
  for (std::size_t index = 0; index < made.size(); ++index) {
    QWidget* widget = made[index];
    if (MarksMnemonic(dialogTemplate.controls[index]) && index + 1 < made.size()) {
      static_cast<QLabel*>(widget)->setBuddy(made[index + 1]);
    }
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (previousFocusable == nullptr) {
      widget->setFocus();
    } else {
      QWidget::setTabOrder(previousFocusable, widget);
    }
    previousFocusable = widget;
  }
}

}  // namespace ostrel
