#pragma once

namespace ostrel {

// The extensions a server lists in its FEAT reply that this client uses.
struct FtpFeatures {
  bool mlst = false;  // MLSD listings with exact UTC times
  bool mdtm = false;  // a file's modification time
  bool mfmt = false;  // setting a file's modification time
  bool size = false;  // a file's size
  // MLSD can show permission bits (unix.mode) but does so only once asked
  // for them with OPTS MLST.
  bool mlstModeOff = false;
};

}  // namespace ostrel
