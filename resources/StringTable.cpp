#include "resources/StringTable.h"

#include <map>

#include "platform/Translation.h"

namespace ostrel {
namespace {

const std::map<int, std::string>& Table() {
  // The texts are the program's own, spelling included; saved settings,
  // scripts and users' habits depend on them. Other languages have them
  // from the catalogue.
  static const std::map<int, std::string> table = {
      {101, Translatable("&About Ostrel...")},
      {102, Translatable("Local directory does not specified.")},
      {103, Translatable("Cannot find local directory ")},
      {104, Translatable("Logging on...")},
      {105, Translatable("Cannot set remote directory to ")},
      {106, Translatable("Processing...")},
      {107, Translatable("Finished.")},
      {108, Translatable("Copying: ")},
      {109, Translatable("Skipping: ")},
      {110, Translatable("Cannot change to remote directory: ")},
      {111, Translatable("Cannot copy file ")},
      {112, Translatable("Cannot get current remote directory.")},
      {113, Translatable("Remote FTP site does not specified.")},
  };
  return table;
}

}  // namespace

std::string LoadString(int id) {
  const auto found = Table().find(id);
  return found == Table().end() ? std::string() : Translate(found->second.c_str());
}

std::string LoadString(StringId id) { return LoadString(static_cast<int>(id)); }

}  // namespace ostrel
