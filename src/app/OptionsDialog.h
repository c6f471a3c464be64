#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "settings/RunSettings.h"

namespace ostrel {

class PublisherApp;

// The options of a run, and the certificates trusted for sites. The dialog
// starts from the values in the settings file, not from the main dialog, and
// stores them itself when confirmed with OK (certificates removed go then);
// the caller then takes the option members. Cancel writes nothing. exec()
// returns 1 for OK and 2 for Cancel.
class OptionsDialog : public QDialog, public RunSettings {
 public:
  explicit OptionsDialog(PublisherApp& app, QWidget* parent = nullptr);

  void accept() override;
  void reject() override;

 private:
  void LoadControls();
  void SaveControls();
  // Enables `dependent` exactly when the clicked box is now checked.
  void ApplyEnablingRule(int clickedCheckBox, int dependent);
  void RemoveCertificate();

  PublisherApp& app_;
  // Keys of [Certificates] that OK removes.
  std::vector<std::string> removedCertificates_;
};

}  // namespace ostrel
