#include "resources/StringTable.h"

#include <map>

namespace ostrel {
namespace {

const std::map<int, std::string>& Table() {
  // The texts are the program's own, spelling included; saved settings,
  // scripts and users' habits depend on them.
  static const std::map<int, std::string> table = {
      {101, "&About Ostrel..."},
      {102, "Local directory does not specified."},
      {103, "Cannot find local directory "},
      {104, "Logging on..."},
      {105, "Cannot set remote directory to "},
      {106, "Processing..."},
      {107, "Finished."},
      {108, "Copying: "},
      {109, "Skipping: "},
      {110, "Cannot change to remote directory: "},
      {111, "Cannot copy file "},
      {112, "Cannot get current remote directory."},
      {113, "Remote FTP site does not specified."},
  };
  return table;
}

}  // namespace

const std::string& LoadString(int id) {
  static const std::string empty;
  const auto found = Table().find(id);
  return found == Table().end() ? empty : found->second;
}

const std::string& LoadString(StringId id) { return LoadString(static_cast<int>(id)); }

}  // namespace ostrel
