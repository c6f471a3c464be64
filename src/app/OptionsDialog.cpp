#include "app/OptionsDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <array>
#include <utility>

#include "app/DialogBuilder.h"
#include "app/MessageBox.h"
#include "app/PublisherApp.h"
#include "platform/Translation.h"
#include "resources/DialogTemplates.h"
#include "settings/SettingsTable.h"

namespace ostrel {
namespace {

// The check boxes and the flags they exchange with. Each control is exchanged
// on its own, so the order between the boxes and the edit has no effect.
constexpr std::array<std::pair<int, std::int32_t RunSettings::*>, 7> kExchangedChecks = {{
    {kSkipSpecialDirsCheck, &RunSettings::SkipSpecialDirs},
    {kXcodeCheck, &RunSettings::Xcode},
    {kNoQMarksCheck, &RunSettings::NoQMarks},
    {kUpdateOnlyCheck, &RunSettings::UpdateOnly},
    {kRecurseCheck, &RunSettings::Recurse},
    {kPassiveCheck, &RunSettings::Passive},
    {kDeleteRemoteCheck, &RunSettings::DeleteRemote},
}};
constexpr std::array<std::pair<int, std::string RunSettings::*>, 2> kExchangedEdits = {{
    {kExtensionsEdit, &RunSettings::XCodeExtenstions},
    {kExcludeEdit, &RunSettings::Exclude},
}};

// A certificate's row keeps its key, "host:port", for the removal.
constexpr int kCertificateKeyRole = Qt::UserRole;

// A stored value outside 0..2 is not a check state; it is reset to 0 in the
// member itself before it is shown. A 2 has no state of its own on a
// two-state box and shows as checked, as any nonzero flag counts as on.
void LoadCheck(QCheckBox& box, std::int32_t& member) {
  if (member < 0 || member > 2) member = 0;
  box.setChecked(member != 0);
}

}  // namespace

OptionsDialog::OptionsDialog(PublisherApp& app, QWidget* parent) : QDialog(parent), RunSettings(), app_(app) {
  LoadSettings(app_, *this);
  BuildDialog(*this, OptionsDialogTemplate());
  connect(FindControl<QPushButton>(*this, kOkButton), &QPushButton::clicked, this, [this] { accept(); });
  connect(FindControl<QPushButton>(*this, kCancelButton), &QPushButton::clicked, this, [this] { reject(); });
  // The rules run on clicks only: at opening every control is enabled,
  // whatever the boxes show.
  connect(FindControl<QCheckBox>(*this, kRecurseCheck), &QCheckBox::clicked, this,
          [this] { ApplyEnablingRule(kRecurseCheck, kSkipSpecialDirsCheck); });
  connect(FindControl<QCheckBox>(*this, kXcodeCheck), &QCheckBox::clicked, this,
          [this] { ApplyEnablingRule(kXcodeCheck, kExtensionsEdit); });
  connect(FindControl<QPushButton>(*this, kRemoveCertificateButton), &QPushButton::clicked, this,
          [this] { RemoveCertificate(); });
  FindControl<QLineEdit>(*this, kExcludeEdit)
      ->setPlaceholderText(QString::fromUtf8(Translate("*.bak; drafts/  (as in .gitignore)")));
  LoadControls();
}

void OptionsDialog::RemoveCertificate() {
  QListWidget* list = FindControl<QListWidget>(*this, kCertificatesList);
  QListWidgetItem* item = list->currentItem();
  if (item == nullptr) return;
  removedCertificates_.push_back(item->data(kCertificateKeyRole).toString().toStdString());
  delete item;
}

void OptionsDialog::LoadControls() {
  for (const auto& [id, member] : kExchangedChecks) {
    LoadCheck(*FindControl<QCheckBox>(*this, id), this->*member);
  }
  for (const auto& [id, member] : kExchangedEdits)
    FindControl<QLineEdit>(*this, id)->setText(QString::fromStdString(this->*member));
  QSpinBox* connections = FindControl<QSpinBox>(*this, kConnectionsSpin);
  connections->setRange(kMinimumConnections, kMaximumConnections);
  connections->setValue(Connections);
  QListWidget* certificates = FindControl<QListWidget>(*this, kCertificatesList);
  for (const auto& [site, fingerprint] : app_.ReadSection(kCertificatesSection)) {
    auto* item = new QListWidgetItem(QString::fromStdString(site + "  " + fingerprint), certificates);
    item->setData(kCertificateKeyRole, QString::fromStdString(site));
  }
}

// Disabled controls are read as well: what they show is what is stored.
void OptionsDialog::SaveControls() {
  for (const auto& [id, member] : kExchangedChecks) {
    this->*member = FindControl<QCheckBox>(*this, id)->isChecked() ? 1 : 0;
  }
  for (const auto& [id, member] : kExchangedEdits)
    this->*member = FindControl<QLineEdit>(*this, id)->text().toStdString();
  Connections = FindControl<QSpinBox>(*this, kConnectionsSpin)->value();
}

void OptionsDialog::ApplyEnablingRule(int clickedCheckBox, int dependent) {
  const bool checked = FindControl<QCheckBox>(*this, clickedCheckBox)->isChecked();
  findChild<QWidget*>(QString::number(dependent), Qt::FindDirectChildrenOnly)->setEnabled(checked);
}

void OptionsDialog::accept() {
  SaveControls();
  // The options apply to the window all the same; only keeping them failed.
  bool saved = SaveSettings(app_, *this, SettingGroup::Option);
  for (const std::string& site : removedCertificates_) saved = app_.RemoveSettings(kCertificatesSection, site) && saved;
  if (!saved)
    MessageBox::ShowWarning(this, QString::fromStdString(app_.ApplicationName()),
                            QString::fromStdString(app_.WriteFailureMessage()));
  done(kDialogResultOk);
}

void OptionsDialog::reject() { done(kDialogResultCancel); }

}  // namespace ostrel
