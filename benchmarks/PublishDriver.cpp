// Publishes one tree through the engine with no display: the benchmark's
// stand-in for the dialog. Usage:
//   publish_driver LOCAL_DIR HOST USER PASSWORD REMOTE_DIR [--update-only] [--xcode] [--active] [--one-connection]
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/Publisher.h"

namespace {

class SilentUserInterface : public ostrel::PublisherUserInterface {
 public:
  void ShowStatusAndProcessInput(const std::string&, const std::string&) override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "publish_driver: %s\n", text.c_str()); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: %s LOCAL_DIR HOST USER PASSWORD REMOTE_DIR [--update-only] [--xcode] [--active] "
                 "[--one-connection]\n",
                 argv[0]);
    return 2;
  }
  SilentUserInterface userInterface;
  ostrel::Publisher publisher(userInterface, "publish_driver");
  ostrel::RunSettings settings;
  settings.LocalDir = argv[1];
  settings.Host = argv[2];
  settings.Name = argv[3];
  settings.Password = argv[4];
  settings.RemoteDir = argv[5];
  settings.UpdateOnly = 0;
  settings.Xcode = 0;
  for (int i = 6; i < argc; ++i) {
    if (std::strcmp(argv[i], "--update-only") == 0) settings.UpdateOnly = 1;
    if (std::strcmp(argv[i], "--xcode") == 0) settings.Xcode = 1;
    if (std::strcmp(argv[i], "--active") == 0) settings.Passive = 0;
    if (std::strcmp(argv[i], "--one-connection") == 0) settings.Connections = 1;
  }
  publisher.Running = 1;
  const ostrel::RunResult result = publisher.RunPublishing(settings);
  std::printf("copied %lld skipped %lld failed %lld bytes %lld\n", static_cast<long long>(result.filesCopied),
              static_cast<long long>(result.filesSkipped), static_cast<long long>(result.filesFailed),
              static_cast<long long>(result.bytesCopied));
  return result.messagesShown == 0 ? 0 : 1;
}
