#pragma once

#include <string>

namespace ostrel {

// The one way a run reaches the user. The desktop dialog implements it with
// its status line, total label, message boxes and event pump; the headless
// publisher with standard output and standard error; tests with a recorder.
class PublisherUserInterface {
 public:
  virtual ~PublisherUserInterface() = default;

  // Shows the status line and the total, then handles every input that is
  // waiting, without waiting for more. Handlers run re-entrantly from here:
  // a Cancel click clears Running, confirmed options change the settings.
  virtual void ShowStatusAndProcessInput(const std::string& status, const std::string& total) = 0;

  // Handles every input that is waiting, without changing what is shown; a
  // long wait calls it every 100 ms. Nothing to do where input cannot wait.
  virtual void ProcessInput() {}

  // Shows a message with one OK button and returns when it has been dismissed.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace ostrel
