#pragma once

#include <string>

namespace ostrel {

// The program's string table: every message, status text and menu text the
// user reads comes from here.
enum class StringId : int {
  AboutMenuItem = 101,
  LocalDirectoryNotSpecified = 102,
  CannotFindLocalDirectory = 103,
  LoggingOn = 104,
  CannotSetRemoteDirectory = 105,
  Processing = 106,
  Finished = 107,
  Copying = 108,
  Skipping = 109,
  CannotChangeRemoteDirectory = 110,
  CannotCopyFile = 111,
  CannotGetCurrentRemoteDirectory = 112,
  RemoteSiteNotSpecified = 113,
};

// The text of a string in the user's language; empty for an id the table
// does not hold.
std::string LoadString(StringId id);
std::string LoadString(int id);

}  // namespace ostrel
