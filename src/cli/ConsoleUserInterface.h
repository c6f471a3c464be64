#pragma once

#include <functional>
#include <string>

#include "publish/PublisherUserInterface.h"

namespace ostrel {

class Publisher;

enum class StatusLines { Show, Hide };

// The run's user interface on a terminal, in a script or under cron: each
// status line on standard output as it happens, each message on standard
// error, prefixed with the program's name. The pump's input is the stop
// signal, which it passes on to the run's Running flag.
class ConsoleUserInterface : public PublisherUserInterface {
 public:
  ConsoleUserInterface(StatusLines statusLines, std::string messagePrefix);

  // The run whose Running flag a stop request clears; set before the run.
  void Attach(Publisher& publisher) { publisher_ = &publisher; }

  void ShowStatusAndProcessInput(const std::string& status, const std::string& total) override;
  void ShowMessage(const std::string& text) override;
  std::string TrustedCertificate(const std::string& site) override {
    return trustedCertificate ? trustedCertificate(site) : std::string();
  }

  // Where the fingerprint a site is trusted with comes from; never a prompt.
  std::function<std::string(const std::string& site)> trustedCertificate;

 private:
  StatusLines statusLines_;
  std::string messagePrefix_;
  Publisher* publisher_ = nullptr;
};

}  // namespace ostrel
