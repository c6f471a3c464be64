#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ftp/FtpDataMode.h"
#include "ftp/FtpFeatures.h"

namespace ostrel {

// What a connection learns about its server, so that each is asked only once.
// They belong to the logged-on connection, not to one control channel: a new
// logon after a lost connection keeps them, and nothing refers into a channel
// that a reconnection may destroy.
struct FtpServerFacts {
  FtpDataMode dataMode = FtpDataMode::Active;
  // Shared by the connections of one run: once one of them found active data
  // connections stalling, the others go passive before they meet it too.
  std::shared_ptr<std::atomic<bool>> activeStalledInRun;
  bool eprtRefused = false;
  bool epsvRefused = false;
  bool listAllRefused = false;          // "LIST -a path" was refused where "LIST path" worked
  std::optional<FtpFeatures> features;  // empty until FEAT has been answered
  // How far the clock of LIST listings runs ahead of UTC, in seconds; empty
  // until learned.
  std::optional<std::int64_t> listingOffset;
  // How far MDTM's clock runs ahead of UTC (UTC by the protocol, local on
  // some servers), and whether "MDTM TIME NAME" sets a file's time in that
  // clock, as vsftpd does where MFMT is missing; empty until learned.
  std::optional<std::int64_t> modifyTimeOffset;
  std::optional<bool> mdtmSetsTime;
  // The run may write to the server: a dry run does not, not even a probe.
  bool writesAllowed = true;
  // What the user should read about how the connection adapted; said once.
  std::string notice;
};

}  // namespace ostrel
