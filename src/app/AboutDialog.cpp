#include "app/AboutDialog.h"

#include <QPushButton>

#include "app/DialogBuilder.h"
#include "app/ProgramIcon.h"
#include "resources/DialogTemplates.h"

namespace ostrel {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  BuildDialog(*this, AboutDialogTemplate());
  setWindowIcon(ProgramIcon());
  connect(FindControl<QPushButton>(*this, kOkButton), &QPushButton::clicked, this, [this] { done(kDialogResultOk); });
}

void AboutDialog::reject() { done(kDialogResultCancel); }

}  // namespace ostrel
