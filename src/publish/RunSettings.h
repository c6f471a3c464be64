#pragma once

#include <cstdint>
#include <string>

namespace ostrel {

// The settings of a run, with the values a run takes when the settings file
// holds none. Flags count as on when nonzero.
struct RunSettings {
  std::string LocalDir;
  std::string Host;
  std::string Password;  // never stored
  std::string Name;
  std::string RemoteDir;
  std::int32_t SkipSpecialDirs = 1;
  std::string XCodeExtenstions = "htm, html, txt";
  std::int32_t Xcode = 1;
  std::int32_t NoQMarks = 1;
  std::int32_t UpdateOnly = 1;
  std::int32_t Recurse = 1;
  // Data connections: 0 tries active first, 1 passive first; either falls
  // back to the other when it fails.
  std::int32_t Passive = 0;
};

}  // namespace ostrel
