#pragma once

#include <QString>
#include <QWidget>

#include "resources/DialogTemplates.h"

class QDialog;

namespace ostrel {

// Makes a dialog's window and controls from its template: caption, font,
// fixed client size, and every control at its place, converted from dialog
// units to pixels. Controls are created in template order, which is the tab
// order; a label whose text marks a mnemonic hands the focus to the control
// after it. A control with an id carries it as its object name and as the
// property "controlId".
void BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate);

// The control with the given id, or nullptr when the dialog has none of that
// kind.
template <typename Control>
Control* FindControl(const QWidget& dialog, int id) {
  return dialog.findChild<Control*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

}  // namespace ostrel
